#include "regexpr_reference.h"

#include "regexpr/vxRegExprOps.h"

#include <cstring>
#include <sstream>

using namespace vxre;

namespace {
constexpr int MaxCalls = 200000;
bool IsDigitChar(unsigned char c) { return c >= '0' && c <= '9'; }
} // namespace

bool TReferenceMatcher::IsWord(const char* p) const {
    if (p >= end_) return false;
    const unsigned char c = static_cast<unsigned char>(*p);
    return IsDigitChar(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

bool TReferenceMatcher::Search(const std::string& input) {
    const std::string_view program = re_.ProgramBytes();
    starts.fill(-1);
    ends.fill(-1);
    if (program.empty()) return false;
    start_ = input.c_str();
    end_ = start_ + input.size();
    const std::string_view must = re_.MustText();
    if (!must.empty() && input.find(must) == std::string::npos) return false;
    depth_ = 0;
    bool found = false;
    if (re_.Anchored()) {
        found = TryAt(start_);
    } else if (re_.FirstLiteral()) {
        for (const char* p = start_; !found && p < end_; ++p)
            if (static_cast<unsigned char>(*p) == re_.FirstLiteral()) found = TryAt(p);
    } else {
        for (const char* p = start_; !found && p < end_; ++p)
            if (re_.StartSet().test(static_cast<unsigned char>(*p))) found = TryAt(p);
    }
    if (found)
        for (int n = 0; n < TvxRegExpr::GroupSlots; ++n)
            if (gs_[n] && ge_[n] && ge_[n] >= gs_[n]) {
                starts[n] = int(gs_[n] - start_);
                ends[n] = int(ge_[n] - start_);
            }
    return found;
}

bool TReferenceMatcher::TryAt(const char* p) {
    gs_.fill(nullptr);
    ge_.fill(nullptr);
    cursor_ = p;
    calls_ = 0;
    const auto* program = reinterpret_cast<const uint8_t*>(re_.ProgramBytes().data());
    if (!MatchPrim(program + 1)) return false;
    gs_[0] = p;
    ge_[0] = cursor_;
    return true;
}

bool TReferenceMatcher::BackRef(int n, bool foldCase, const char*& p) const {
    if (!gs_[n] || !ge_[n]) return false;
    const char* q = p;
    for (const char* g = gs_[n]; g < ge_[n]; ++g, ++q) {
        if (q >= end_) return false;
        const auto a = static_cast<unsigned char>(*q), b = static_cast<unsigned char>(*g);
        if (a != b && !(foldCase && a == re_.FlipCase(b))) return false;
    }
    p = q;
    return true;
}

int TReferenceMatcher::RegRepeat(const uint8_t* operand, int max) {
    const long long available = end_ - cursor_;
    const int limit = int(available < max ? available : max);
    const uint8_t* arg = operand + NodeHeader;
    int count = 0;
    auto matches = [&](unsigned char c) {
        switch (operand[0]) {
        case opAnyChar: return true;
        case opExact: return c == arg[0];
        case opDigit: return IsDigitChar(c);
        case opNonDigit: return !IsDigitChar(c);
        case opInTriple: return c == arg[0] || c == arg[1] || c == arg[2];
        case opNotInTriple: return c != arg[0] && c != arg[1] && c != arg[2];
        case opInSet: return (arg[c / 8] >> (c % 8) & 1) != 0;
        default: return false;
        }
    };
    if (operand[0] == opBackRef || operand[0] == opBackRefCI) {
        if (!gs_[arg[0]] || !ge_[arg[0]]) return 0;
        while (count < limit && BackRef(arg[0], operand[0] == opBackRefCI, cursor_)) ++count;
        return count;
    }
    if (operand[0] == opExactCI) {
        while (count < limit && static_cast<unsigned char>(cursor_[count]) == arg[0]) ++count;
        while (count < limit && (static_cast<unsigned char>(cursor_[count]) == arg[0] ||
                                 static_cast<unsigned char>(cursor_[count]) == re_.FlipCase(arg[0])))
            ++count;
    } else {
        while (count < limit && matches(static_cast<unsigned char>(cursor_[count]))) ++count;
    }
    cursor_ += count;
    return count;
}

bool TReferenceMatcher::MatchPrim(const uint8_t* node) {
    if (++calls_ > MaxCalls) {
        tooDeep = true;
        return false;
    }
    const uint8_t* scan = node;
    while (scan) {
        const uint8_t op = scan[0];
        const uint8_t* operand = scan + NodeHeader;
        const uint8_t* next = NextNode(scan);
        const bool atEnd = cursor_ >= end_;
        const unsigned char c = atEnd ? 0 : static_cast<unsigned char>(*cursor_);
        switch (op) {
        case opEnd: return true;
        case opBeginText: if (cursor_ != start_) return false; break;
        case opEndText: if (!atEnd) return false; break;
        case opAnyChar: if (atEnd) return false; ++cursor_; break;
        case opAnyInLine:
            if (atEnd || (c == '\r' && cursor_ + 1 < end_ && cursor_[1] == '\n') || IsLineBreak(c)) return false;
            ++cursor_;
            break;
        case opBranch:
            if (!next || next[0] != opBranch) {
                scan = operand;
                continue;
            }
            for (const uint8_t* b = scan; b && b[0] == opBranch; b = NextNode(b)) {
                const char* save = cursor_;
                if (MatchPrim(b + NodeHeader)) return true;
                cursor_ = save;
            }
            return false;
        case opLineStart:
            if (cursor_ != start_) {
                const auto b = static_cast<unsigned char>(cursor_[-1]);
                const bool afterPair = b == '\n' && cursor_ - 1 > start_ && cursor_[-2] == '\r';
                if (!afterPair && ((b == '\r' && c == '\n') || !IsLineBreak(b))) return false;
            }
            break;
        case opLineEnd:
            if (!atEnd) {
                const bool beforePair = c == '\r' && cursor_ + 1 < end_ && cursor_[1] == '\n';
                if (!beforePair && ((c == '\n' && cursor_ > start_ && cursor_[-1] == '\r') || !IsLineBreak(c)))
                    return false;
            }
            break;
        case opBack: case opEmpty: case opNoOp: break;
        case opExact: {
            const char* text = reinterpret_cast<const char*>(operand);
            const size_t length = std::strlen(text);
            if (length == 0) {
                if (!atEnd) return false;
                break;
            }
            if (size_t(end_ - cursor_) < length || std::memcmp(cursor_, text, length) != 0) return false;
            cursor_ += length;
            break;
        }
        case opExactCI:
            for (const uint8_t* t = operand; *t; ++t, ++cursor_) {
                if (cursor_ >= end_) return false;
                const auto ic = static_cast<unsigned char>(*cursor_);
                if (ic != *t && ic != re_.FlipCase(*t)) return false;
            }
            break;
        case opDigit: if (atEnd || !IsDigitChar(c)) return false; ++cursor_; break;
        case opNonDigit: if (atEnd || IsDigitChar(c)) return false; ++cursor_; break;
        case opInTriple: if (atEnd || (c != operand[0] && c != operand[1] && c != operand[2])) return false; ++cursor_; break;
        case opNotInTriple: if (atEnd || c == operand[0] || c == operand[1] || c == operand[2]) return false; ++cursor_; break;
        case opInSet: if (atEnd || !(operand[c / 8] >> (c % 8) & 1)) return false; ++cursor_; break;
        case opBackRef: case opBackRefCI: if (!BackRef(operand[0], op == opBackRefCI, cursor_)) return false; break;
        case opWordEdge: case opNotWordEdge: {
            const bool prev = cursor_ > start_ && IsWord(cursor_ - 1);
            if ((prev != IsWord(cursor_)) != (op == opWordEdge)) return false;
            break;
        }
        case opStar: case opPlus: case opBraces: case opStarShort: case opPlusShort: case opBracesShort: {
            const unsigned char nextch = next && next[0] == opExact ? next[NodeHeader] : 0;
            int min = 0, max = 0x7FFFFFFF;
            const uint8_t* repeated = operand;
            if (op == opPlus || op == opPlusShort) min = 1;
            if (op == opBraces || op == opBracesShort) {
                min = ReadInt(operand);
                max = ReadInt(operand + 4);
                repeated = scan + BracesHeader;
            }
            const char* save = cursor_;
            auto attempt = [&] {
                if (nextch && (cursor_ >= end_ || static_cast<unsigned char>(*cursor_) != nextch)) return false;
                const auto counters = counters_;
                const int depth = depth_;
                if (MatchPrim(next)) return true;
                counters_ = counters;
                depth_ = depth;
                return false;
            };
            if (op == opStarShort || op == opPlusShort || op == opBracesShort) {
                max = RegRepeat(repeated, max);
                for (int no = min; no <= max; ++no) {
                    cursor_ = save + no;
                    if (attempt()) return true;
                }
                return false;
            }
            int no = RegRepeat(repeated, max);
            while (no >= min) {
                if (attempt()) return true;
                --no;
                cursor_ = save + no;
            }
            return false;
        }
        case opLoopEntry: {
            if (depth_ == 10) return false;
            const int savedDepth = depth_;
            const char* save = cursor_;
            ++depth_;
            counters_[size_t(depth_)] = 0;
            const bool r = MatchPrim(next);
            depth_ = savedDepth;
            if (!r) cursor_ = save;
            return r;
        }
        case opLoop: case opLoopShort: {
            if (depth_ == 0) return false;
            const int min = ReadInt(operand), max = ReadInt(operand + 4);
            const uint8_t* body = scan + ReadInt(operand + 8);
            const int count = counters_[size_t(depth_)];
            const char* save = cursor_;
            auto runBody = [&] {
                ++counters_[size_t(depth_)];
                const int d = depth_;
                const bool r = MatchPrim(body);
                depth_ = d;
                return r;
            };
            if (count < min) {
                if (runBody()) return true;
                --counters_[size_t(depth_)];
                cursor_ = save;
                return false;
            }
            if (op == opLoop) {
                if (count < max) {
                    if (runBody()) return true;
                    cursor_ = save;
                }
                --depth_;
                const bool r = MatchPrim(next);
                if (!r) cursor_ = save;
                return r;
            }
            if (MatchPrim(next)) return true;
            cursor_ = save;
            bool r = false;
            if (count < max) {
                r = runBody();
                if (!r) {
                    cursor_ = save;
                    --depth_;
                }
            } else {
                --depth_;
            }
            return r;
        }
        default:
            if (IsOpen(op) || IsClose(op)) {
                auto& slot = IsOpen(op) ? gs_[op - opOpenBase] : ge_[op - opCloseBase];
                const char* old = slot;
                slot = cursor_;
                if (MatchPrim(next)) return true;
                slot = old;
                return false;
            }
            return false;
        }
        scan = next;
    }
    return false;
}

std::string DumpProgram(std::string_view bytes) {
    static const std::pair<int, const char*> names[] = {
        {opEnd, "End"}, {opBeginText, "BeginText"}, {opEndText, "EndText"}, {opAnyChar, "AnyChar"},
        {opBranch, "Branch"}, {opBack, "Back"}, {opExact, "Exact"}, {opEmpty, "Empty"}, {opStar, "Star"},
        {opPlus, "Plus"}, {opDigit, "Digit"}, {opNonDigit, "NonDigit"}, {opBraces, "Braces"},
        {opNoOp, "NoOp"}, {opExactCI, "ExactCI"}, {opLoopEntry, "LoopEntry"}, {opLoop, "Loop"},
        {opInTriple, "InTriple"}, {opNotInTriple, "NotInTriple"}, {opInSet, "InSet"}, {opBackRef, "BackRef"},
        {opBackRefCI, "BackRefCI"}, {opStarShort, "StarShort"}, {opPlusShort, "PlusShort"},
        {opBracesShort, "BracesShort"}, {opLoopShort, "LoopShort"}, {opLineStart, "LineStart"},
        {opLineEnd, "LineEnd"}, {opAnyInLine, "AnyInLine"}, {opWordEdge, "WordEdge"},
        {opNotWordEdge, "NotWordEdge"}};
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    std::ostringstream out;
    out << int(p[0]);
    for (size_t at = 1; at < bytes.size();) {
        const uint8_t op = p[at];
        std::string name = "?" + std::to_string(op);
        for (const auto& [code, text] : names)
            if (code == op) name = text;
        if (IsOpen(op)) name = "Open" + std::to_string(op - opOpenBase);
        if (IsClose(op)) name = "Close" + std::to_string(op - opCloseBase);
        const int link = ReadInt(p + at + 1);
        out << " | " << at << ":" << name;
        if (link) out << "->" << int(at) + link;
        at += NodeHeader;
        switch (op) {
        case opExact: case opExactCI: {
            const std::string text(reinterpret_cast<const char*>(p + at));
            out << " '" << text << "'";
            at += text.size() + 1;
            break;
        }
        case opBraces: case opBracesShort:
            out << " {" << ReadInt(p + at) << "," << ReadInt(p + at + 4) << "}";
            at += 8;
            break;
        case opLoop: case opLoopShort:
            out << " {" << ReadInt(p + at) << "," << ReadInt(p + at + 4) << "} body " << int(at) - 5 + ReadInt(p + at + 8);
            at += 12;
            break;
        case opInTriple: case opNotInTriple:
            out << " [" << char(p[at]) << char(p[at + 1]) << char(p[at + 2]) << "]";
            at += 3;
            break;
        case opInSet: {
            int members = 0;
            for (int c = 0; c < 256; ++c) members += p[at + c / 8] >> (c % 8) & 1;
            out << " set(" << members << ")";
            at += 32;
            break;
        }
        case opBackRef: case opBackRefCI: out << " \\" << int(p[at]); at += 1; break;
        default: break;
        }
    }
    return out.str();
}
