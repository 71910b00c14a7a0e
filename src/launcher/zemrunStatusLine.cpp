#include "zemrunStatusLine.h"

#include "../foundation/vxTextCodec.h"

#include <utility>

std::string TStatusLine::Update(const std::string& text, uint64_t now) {
    if (console_) {
        // Blanks cover what a longer line before left.
        const size_t length = Utf16Length(text);
        const size_t cover = shownLength_ > length ? shownLength_ - length : 0;
        shownLength_ = length;
        return "\r" + text + std::string(cover, ' ');
    }
    pending_ = text == lastWritten_ ? std::string() : text;
    if (pending_.empty() || (written_ && now - lastWrite_ < RedirectedMilliseconds)) return {};
    lastWrite_ = now;
    written_ = true;
    lastWritten_ = std::exchange(pending_, std::string());
    return lastWritten_ + "\n";
}

std::string TStatusLine::Clear() {
    lastWritten_.clear(); // after what others write, the status is written again
    if (shownLength_ == 0) return {};
    const std::string blanks(std::exchange(shownLength_, 0), ' ');
    return "\r" + blanks + "\r";
}

std::string TStatusLine::Close() {
    // On a console the line is ended; elsewhere the last status is written if it was not.
    std::string end = std::exchange(pending_, std::string());
    if (!end.empty() || shownLength_ > 0) end += '\n';
    shownLength_ = 0;
    return end;
}
