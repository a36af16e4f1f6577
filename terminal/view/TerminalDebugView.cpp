#include "terminal/view/TerminalDebugView.hpp"

#include "terminal/view/TerminalView.hpp"

#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QPaintEvent>
#include <QPainterPath>

namespace corvix {

namespace {

QFont debugFont()
{
    QFont font("Lucida Sans Typewriter", 8);
    if (!QFontInfo(font).exactMatch()) font = QFont("Courier", 8);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

} // namespace

TerminalDebugView::TerminalDebugView(const QRect& frame, TerminalView* view)
    : QWidget(view), terminalView(view), terminal(&view->getTerminal()), font_(debugFont())
{
    dbg = new QLabel(QStringLiteral("WAITING"), this);
    dbg->setFont(font_);
    setGeometry(frame);
    view->debug = this;
    QPainterPath path;
    path.addText(0, 0, font_, QStringLiteral("W"));
    height_ = path.boundingRect().height();
    // The status line sits 8 points above the bottom edge.
    dbg->setGeometry(0, height() - 8 - 14, width(), 14);
}

QString TerminalDebugView::statusText() const
{
    Buffer& b = terminal->buffer();
    return QStringLiteral("x: %1 y: %2 yDisp: %3 yBase: %4 clc: %5 startIndex: %6")
        .arg(b.x())
        .arg(b.y())
        .arg(b.yDisp())
        .arg(b.yBase())
        .arg(b.lines().count())
        .arg(b.lines().startIndex());
}

void TerminalDebugView::update()
{
    dbg->setText(statusText());
    QWidget::update();
}

QString TerminalDebugView::lineText(int index) const
{
    Buffer& b = terminal->buffer();
    auto& lines = b.lines();
    const int slot = int((index + lines.startIndex()) % std::max(lines.maxLength(), 1));
    QString text = QString::asprintf("[%03d:%03d]", index, slot);
    text += index == b.yDisp() ? QLatin1Char('D') : QLatin1Char(' ');
    text += index == b.yBase() ? QLatin1Char('B') : QLatin1Char(' ');
    if (index < 0 || index >= lines.count()) return text + QStringLiteral("<empty>");
    const BufferLine& line = lines[index];
    const int cols = std::min(terminal->cols, line.count());
    for (int col = 0; col < cols; col++) {
        const CharData& cell = line[col];
        if (cell.width == 0) continue;
        const std::u32string s = cell.code == 0 ? std::u32string(U" ") : terminal->character(cell.code);
        text += QString::fromUcs4(s.data(), qsizetype(s.size()));
    }
    return text;
}

void TerminalDebugView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), Qt::white);
    painter.setFont(font_);
    painter.setPen(Qt::black);
    const int count = terminal->buffer().lines().count();
    for (int i = 0; i < count; i++) {
        const double baseline = height_ * (i + 2);
        if (baseline - 2 * height_ > height()) break;
        painter.drawText(QPointF(0, baseline), lineText(i));
    }
}

} // namespace corvix
