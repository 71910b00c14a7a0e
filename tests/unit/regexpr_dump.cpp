#include "regexpr_dump.h"

#include "regexpr/vxRegExprOps.h"

#include <cstring>
#include <sstream>
#include <vector>

using namespace vxre;

std::string DumpProgram(std::string_view bytes) {
    static const std::pair<int, const char*> names[] = {{opEnd, "End"},
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
    const auto* p = reinterpret_cast<const uint8_t*>(bytes.data());
    std::ostringstream out;
    out << int(p[0]);
    std::vector<bool> bodies; // of the assertions open here: true for a look-behind
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
        case opExact:
        case opExactCI:
        case opExactFold: {
            const std::string text(reinterpret_cast<const char*>(p + at));
            out << " '" << text << "'";
            at += text.size() + 1;
            break;
        }
        case opBraces:
        case opBracesShort:
            out << " {" << ReadInt(p + at) << "," << ReadInt(p + at + 4) << "}";
            at += 8;
            break;
        case opLoop:
        case opLoopShort:
            out << " {" << ReadInt(p + at) << "," << ReadInt(p + at + 4) << "} body "
                << int(at) - 5 + ReadInt(p + at + 8);
            at += 12;
            break;
        case opInTriple:
        case opNotInTriple:
            out << " [" << char(p[at]) << char(p[at + 1]) << char(p[at + 2]) << "]";
            at += 3;
            break;
        case opInSet: {
            int members = 0;
            for (int c = 0; c < 256; ++c)
                members += p[at + c / 8] >> (c % 8) & 1;
            out << " set(" << members << ")";
            at += 32;
            break;
        }
        case opClassU: {
            out << " set(" << ReadInt(p + at + ClassSetBytes) << " ranges)";
            at += size_t(ClassOperandSize(ReadInt(p + at + ClassSetBytes)));
            break;
        }
        case opBackRef:
        case opBackRefCI:
        case opBackRefFold:
            out << " \\" << int(p[at]);
            at += 1;
            break;
        case opAtomic:
        case opAhead:
        case opNotAhead:
            bodies.push_back(false);
            if (p[at]) out << " keeps state";
            at += 1;
            break;
        case opBehind:
        case opNotBehind:
            // Each alternative's length; its body follows as nodes of their own.
            bodies.push_back(true);
            if (p[at]) out << " keeps state";
            out << " length " << ReadInt(p + at + 1);
            at += 9;
            break;
        case opAssertEnd:
            if (!bodies.empty() && bodies.back() && ReadInt(p + at) >= 0) {
                out << " | length " << ReadInt(p + at);
                at += 8;
                break;
            }
            if (!bodies.empty() && bodies.back()) at += 4; // the end of the alternatives
            if (!bodies.empty()) bodies.pop_back();
            break;
        default:
            break;
        }
    }
    return out.str();
}
