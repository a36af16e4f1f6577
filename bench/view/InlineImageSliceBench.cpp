// Ten 4000x4000 PNGs sent inline (OSC 1337): fed whole, the GUI thread decodes all ten in one
// go; fed in delivery slices, each slice decodes up to the view's pixel budget (or one image past
// it) and the rest waits for the next. The longest slice is what the GUI loop waits for.
#include "terminal/graphics/Base64.hpp"
#include "terminal/view/TerminalView.hpp"

#include <QBuffer>
#include <QImage>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace {

using corvix::TerminalView;

std::string tenLargeImages()
{
    QImage image(4000, 4000, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(200, 40, 40));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    const std::vector<uint8_t> bytes(png.begin(), png.end());
    const std::string command = "\x1b]1337;File=inline=1;width=10;height=3:" + corvix::Base64::encode(bytes) + "\x07";
    std::string out;
    for (int i = 0; i < 10; i++) out += command + "text after image " + std::to_string(i) + "\r\n";
    return out;
}

// Arg 0: one whole feed; 1: delivery slices.
void BM_TenLargeInlineImages(benchmark::State& state)
{
    const std::string output = tenLargeImages();
    double longest = 0;
    int64_t slices = 0;
    for (auto _ : state) {
        TerminalView view{QRect(0, 0, 800, 480), QFont(QStringLiteral("DejaVu Sans Mono"), 10)};
        std::string_view rest = output;
        while (!rest.empty()) {
            const auto start = std::chrono::steady_clock::now();
            size_t taken = rest.size();
            if (state.range(0) == 0) {
                view.feed(rest);
            } else {
                taken = view.feedSlice([&] { view.feed(rest); }, rest.size());
            }
            longest = std::max(longest, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            slices++;
            rest.remove_prefix(taken);
        }
    }
    state.counters["slices"] = double(slices) / double(state.iterations());
    state.counters["longest_slice_ms"] = longest;
}
BENCHMARK(BM_TenLargeInlineImages)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(2);

} // namespace
