// Mode machinery of the terminal: synchronized output and the bidi paragraph update.
#include "terminal/engine/Terminal.hpp"

namespace corvix {

void Terminal::scheduleSynchronizedOutputTimeout()
{
    if (!executor_) return;
    if (synchronizedOutputTimeoutItem) executor_->cancel(synchronizedOutputTimeoutItem);
    std::weak_ptr<bool> alive = alive_;
    synchronizedOutputTimeoutItem = executor_->postAfter(synchronizedOutputTimeoutSeconds, [this, alive] {
        auto guard = alive.lock();
        if (!guard || !*guard) return;
        synchronizedOutputTimeoutItem = 0;
        if (synchronizedOutputActive_) endSynchronizedOutput();
    });
}

void Terminal::endSynchronizedOutput()
{
    if (!synchronizedOutputActive_) return;
    synchronizedOutputActive_ = false;
    if (executor_ && synchronizedOutputTimeoutItem) executor_->cancel(synchronizedOutputTimeoutItem);
    synchronizedOutputTimeoutItem = 0;
    updateRange(0);
    updateRange(rows - 1);
    if (tdel) tdel->synchronizedOutputChanged(*this, false);
}

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
