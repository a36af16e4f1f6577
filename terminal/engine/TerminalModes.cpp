// Mode machinery of the terminal: the bidi paragraph update.
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::applyCurrentBidiStateAtParagraphStart(const BidiStateProperties& properties)
{
    Buffer& b = *buffer_;
    auto& lines = b.lines();
    const int l = b.yBase() + b.y();
    if (b.x() != 0 || l < 0 || l >= lines.count()) return;

    int p = l;
    while (p > 0 && lines[p].isWrapped()) p--;
    if (p != l) return;

    auto apply = [&](BufferLine& line) {
        BidiPresentationState s = line.bidiState();
        for (auto prop : properties) {
            switch (prop) {
            case BidiStateProperty::supportMode: s.supportMode = currentBidiState.supportMode; break;
            case BidiStateProperty::autodetectDirection:
                s.autodetectDirection = currentBidiState.autodetectDirection;
                break;
            case BidiStateProperty::fallbackDirection: s.fallbackDirection = currentBidiState.fallbackDirection; break;
            case BidiStateProperty::boxMirroring: s.boxMirroring = currentBidiState.boxMirroring; break;
            }
        }
        // setBidiState counts as a change of the line, which is what the renderer needs.
        line.setBidiState(s);
    };
    apply(lines[l]);
    for (int i = l + 1; i < lines.count() && lines[i].isWrapped(); i++) apply(lines[i]);
}

} // namespace corvix
