#include "vxRegExprDump.h"

#include "vxRegExprOps.h"

#include <cstring>
#include <sstream>
#include <vector>

using namespace vxre;

namespace {
const std::pair<int, const char*> Names[] = {{opEnd, "End"},
                                             {opBeginText, "BeginText"},
                                             {opEndText, "EndText"},
                                             {opAnyChar, "AnyChar"},
                                             {opBranch, "Branch"},
                                             {opBack, "Back"},
                                             {opExact, "Exact"},
                                             {opEmpty, "Empty"},
                                             {opStar, "Star"},
                                             {opPlus, "Plus"},
                                             {opDigit, "Digit"},
                                             {opNonDigit, "NonDigit"},
                                             {opBraces, "Braces"},
                                             {opNoOp, "NoOp"},
                                             {opExactCI, "ExactCI"},
                                             {opLoopEntry, "LoopEntry"},
                                             {opLoop, "Loop"},
                                             {opInTriple, "InTriple"},
                                             {opNotInTriple, "NotInTriple"},
                                             {opInSet, "InSet"},
                                             {opBackRef, "BackRef"},
                                             {opBackRefCI, "BackRefCI"},
                                             {opStarShort, "StarShort"},
                                             {opPlusShort, "PlusShort"},
                                             {opBracesShort, "BracesShort"},
                                             {opLoopShort, "LoopShort"},
                                             {opLineStart, "LineStart"},
                                             {opLineEnd, "LineEnd"},
                                             {opAnyInLine, "AnyInLine"},
                                             {opWordEdge, "WordEdge"},
                                             {opNotWordEdge, "NotWordEdge"},
                                             {opAnyCharU, "AnyCharU"},
                                             {opAnyInLineU, "AnyInLineU"},
                                             {opClassU, "ClassU"},
                                             {opExactFold, "ExactFold"},
                                             {opBackRefFold, "BackRefFold"},
                                             {opAtomic, "Atomic"},
                                             {opAhead, "Ahead"},
                                             {opNotAhead, "NotAhead"},
                                             {opBehind, "Behind"},
                                             {opNotBehind, "NotBehind"},
                                             {opAssertEnd, "AssertEnd"}};

std::string NodeName(uint8_t op) {
    if (IsOpen(op)) return "Open" + std::to_string(op - opOpenBase);
    if (IsClose(op)) return "Close" + std::to_string(op - opCloseBase);
    for (const auto& [code, text] : Names)
        if (code == op) return text;
    return "?" + std::to_string(op);
}

// Writes the operands of the node of op, which start at at; where the next node starts.
size_t Operands(const uint8_t* p, size_t at, uint8_t op, std::vector<bool>& bodies,
                std::ostringstream& out) {
    switch (op) {
    case opExact:
    case opExactCI:
    case opExactFold: {
        const std::string text(reinterpret_cast<const char*>(p + at));
        out << " '" << text << "'";
        return at + text.size() + 1;
    }
    case opBraces:
    case opBracesShort:
        out << " {" << ReadInt(p + at) << "," << ReadInt(p + at + 4) << "}";
        return at + 8;
    case opLoop:
    case opLoopShort:
        out << " {" << ReadInt(p + at) << "," << ReadInt(p + at + 4) << "} body "
            << int(at) - 5 + ReadInt(p + at + 8);
        return at + 12;
    case opInTriple:
    case opNotInTriple:
        out << " [" << char(p[at]) << char(p[at + 1]) << char(p[at + 2]) << "]";
        return at + 3;
    case opInSet: {
        int members = 0;
        for (int c = 0; c < 256; ++c)
            members += p[at + c / 8] >> (c % 8) & 1;
        out << " set(" << members << ")";
        return at + 32;
    }
    case opClassU: {
        out << " set(" << ReadInt(p + at + ClassSetBytes) << " ranges)";
        return at + size_t(ClassOperandSize(ReadInt(p + at + ClassSetBytes)));
    }
    case opBackRef:
    case opBackRefCI:
    case opBackRefFold:
        out << " \\" << int(p[at]);
        return at + 1;
    case opAtomic:
    case opAhead:
    case opNotAhead:
        bodies.push_back(false);
        if (p[at]) out << " keeps state";
        return at + 1;
    case opBehind:
    case opNotBehind:
        // Each alternative's length; its body follows as nodes of their own.
        bodies.push_back(true);
        if (p[at]) out << " keeps state";
        out << " length " << ReadInt(p + at + 1);
        return at + 9;
    case opAssertEnd:
        if (!bodies.empty() && bodies.back() && ReadInt(p + at) >= 0) {
            out << " | length " << ReadInt(p + at);
            return at + 8;
        }
        if (!bodies.empty() && bodies.back()) at += 4; // the end of the alternatives
        if (!bodies.empty()) bodies.pop_back();
        return at;
    default:
        return at;
    }
}
} // namespace

std::string DumpProgram(std::string_view bytes) {
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    std::ostringstream out;
    out << int(p[0]);
    std::vector<bool> bodies; // of the assertions open here: true for a look-behind
    for (size_t at = 1; at < bytes.size();) {
        const uint8_t op = p[at];
        const int link = ReadInt(p + at + 1);
        out << " | " << at << ":" << NodeName(op);
        if (link) out << "->" << int(at) + link;
        at += NodeHeader;
        at = Operands(p, at, op, bodies, out);
    }
    return out.str();
}
