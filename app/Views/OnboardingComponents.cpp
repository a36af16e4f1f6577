#include "app/Views/OnboardingComponents.hpp"

#include "app/Views/DashboardStyle.hpp"
#include "app/Views/SettingsForm.hpp"
#include "app/Views/SymbolGlyph.hpp"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace brisvane::OnboardingComponents {

namespace {

void setTextColor(QLabel& label, const QColor& color)
{
    QPalette palette = label.palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    label.setPalette(palette);
}

// A label that wraps and always takes the height its text needs at the width it gets.
QLabel* makeWrappingLabel(const QString& text, Qt::TextFormat format, const QFont& font, const QColor& color)
{
    auto* label = new QLabel;
    label->setTextFormat(format);
    label->setText(text);
    label->setFont(font);
    label->setWordWrap(true);
    // Keeps the height-for-width that word wrap asked for: without it layouts size the label by its
    // narrow size hint and leave gaps or cut lines.
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    label->setSizePolicy(policy);
    setTextColor(*label, color);
    return label;
}

QLabel* makeSymbol(const QString& icon, const QFont& font, const QColor& color)
{
    auto* symbol = new QLabel(SymbolGlyph::text(icon));
    symbol->setTextFormat(Qt::PlainText);
    symbol->setFont(font);
    setTextColor(*symbol, color);
    SymbolGlyph::tag(*symbol, icon);
    return symbol;
}

} // namespace

QVBoxLayout* makeStepLayout(QWidget& step)
{
    auto* stack = new QVBoxLayout(&step);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(14);
    return stack;
}

QLabel* makeLeadText(const QString& text, int pixelSize)
{
    return makeWrappingLabel(text, Qt::PlainText, DashboardStyle::font(pixelSize), primaryText());
}

QLabel* makeMarkdownLeadText(const QString& markdown, int pixelSize)
{
    return makeWrappingLabel(markdown, Qt::MarkdownText, DashboardStyle::font(pixelSize), primaryText());
}

QLabel* makeCaption(const QString& text, int pixelSize)
{
    return makeWrappingLabel(text, Qt::PlainText, DashboardStyle::font(pixelSize), secondaryText());
}

QLabel* makeWarning(const QString& text)
{
    return makeWrappingLabel(text, Qt::PlainText, DashboardStyle::font(11), orange());
}

QLabel* makeCodeLine(const QString& text, int pixelSize)
{
    auto* label = new QLabel(text);
    label->setTextFormat(Qt::PlainText);
    label->setFont(DashboardStyle::monospacedFont(pixelSize));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    label->setCursor(Qt::IBeamCursor);
    setTextColor(*label, secondaryText());
    return label;
}

QWidget* makeSymbolLabel(const QString& icon, const QString& text, const QFont& font, const QColor& color,
                         const QColor& symbolColor)
{
    auto* row = new QWidget;
    SymbolGlyph::tag(*row, icon);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    layout->addWidget(makeSymbol(icon, font, symbolColor.isValid() ? symbolColor : color), 0, Qt::AlignTop);
    layout->addWidget(makeWrappingLabel(text, Qt::PlainText, font, color), 1);
    return row;
}

QWidget* bulletRow(const QString& icon, const QString& title, const QString& detail)
{
    return accessFactRow(icon, DashboardStyle::accent(), title, detail);
}

QWidget* accessFactRow(const QString& icon, const QColor& color, const QString& title, const QString& detail)
{
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    layout->setAlignment(Qt::AlignTop);

    QLabel* symbol = makeSymbol(icon, DashboardStyle::font(15), color);
    symbol->setFixedWidth(20);
    symbol->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    layout->addWidget(symbol, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(2);
    texts->addWidget(makeWrappingLabel(title, Qt::PlainText, DashboardStyle::font(12, QFont::DemiBold), primaryText()));
    texts->addWidget(makeWrappingLabel(detail, Qt::PlainText, DashboardStyle::font(11), secondaryText()));
    layout->addLayout(texts, 1);
    return row;
}

} // namespace brisvane::OnboardingComponents
