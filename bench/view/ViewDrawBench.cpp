// A full redraw of a 200x60 screen of mixed attributes, on the CPU and offscreen, next to a
// naive drawing of the same screen (one drawText per cell) measured in the same run.
#include "MixedScreen.hpp"
#include "terminal/view/TerminalView.hpp"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <string>

namespace {

using corvix::TerminalView;
using corvix::bench::mixedScreen;

struct Screen {
    TerminalView view{QRect(0, 0, 1800, 1100), QFont(QStringLiteral("DejaVu Sans Mono"), 10)};
    Screen()
    {
        view.resizeGrid(200, 60);
        view.feed(mixedScreen());
        view.updateDisplay(false);
    }
    QImage target(double scale) const
    {
        QImage image(int(view.width() * scale), int(view.height() * scale), QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(scale);
        return image;
    }
};

Screen& screen()
{
    static Screen s;
    return s;
}

void BM_ViewFullRedraw(benchmark::State& state)
{
    const double scale = double(state.range(0));
    Screen& s = screen();
    QImage image = s.target(scale);
    for (auto _ : state) {
        QPainter painter(&image);
        s.view.drawTerminalContents(s.view.rect(), painter, 0);
    }
    state.SetLabel("200x60 at scale " + std::to_string(int(scale)));
}
BENCHMARK(BM_ViewFullRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The baseline: every cell on its own, background and text.
void BM_NaiveCellRedraw(benchmark::State& state)
{
    const double scale = double(state.range(0));
    Screen& s = screen();
    corvix::Terminal& t = s.view.getTerminal();
    QImage image = s.target(scale);
    const QSizeF cell = s.view.cellSize();
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(s.view.rect(), Qt::black);
        for (int row = 0; row < t.rows; row++) {
            const corvix::BufferLine& line = t.buffer().lines()[row];
            for (int col = 0; col < t.cols && col < line.count(); col++) {
                const corvix::CharData& c = line[col];
                if (c.width == 0) continue;
                const QRectF r(cell.width() * col, cell.height() * row, cell.width() * c.width, cell.height());
                const corvix::Attribute& a = c.attribute;
                painter.fillRect(r, s.view.mapColor(a.bg, false, false, true));
                const bool bold = a.style.contains(corvix::CharacterStyle::bold);
                painter.setFont(bold ? s.view.fonts().bold : s.view.fonts().normal);
                painter.setPen(s.view.mapColor(a.fg, true, bold, true));
                const std::u32string text = c.code == 0 ? std::u32string(U" ") : t.character(c.code);
                painter.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, QString::fromUcs4(text.data(), qsizetype(text.size())));
            }
        }
    }
    state.SetLabel("200x60 at scale " + std::to_string(int(scale)));
}
BENCHMARK(BM_NaiveCellRedraw)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
