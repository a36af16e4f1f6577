#include "app/Views/SettingsForm.hpp"

#include <QGroupBox>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

namespace brisvane::SettingsForm {

QVBoxLayout* makeForm(QWidget& tab)
{
    auto* outer = new QVBoxLayout(&tab);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(&tab);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(scroll);
    auto* content = new QWidget(scroll);
    auto* form = new QVBoxLayout(content);
    form->setContentsMargins(16, 12, 16, 12);
    form->setSpacing(10);
    scroll->setWidget(content);
    // Sections keep their natural height; the space left over goes below the last one.
    form->addStretch(1);
    return form;
}

QGroupBox* addSection(QVBoxLayout& form, const QString& title)
{
    auto* section = new QGroupBox(title);
    auto* stack = new QVBoxLayout(section);
    stack->setSpacing(6);
    // Before the closing stretch.
    form.insertWidget(form.count() - 1, section);
    return section;
}

QLabel* makeCaption(const QString& text, int pixelSize)
{
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    QFont font = label->font();
    font.setPixelSize(pixelSize);
    label->setFont(font);
    QPalette palette = label->palette();
    QColor secondary = palette.color(QPalette::WindowText);
    secondary.setAlphaF(0.6f);
    palette.setColor(QPalette::WindowText, secondary);
    label->setPalette(palette);
    label->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    return label;
}

} // namespace brisvane::SettingsForm
