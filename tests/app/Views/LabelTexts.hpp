#pragma once

#include <QLabel>
#include <QStringList>
#include <QWidget>

namespace brisvane::test {

// The texts of every label inside `widget`, in creation order.
inline QStringList labelTexts(const QWidget& widget)
{
    QStringList texts;
    for (const QLabel* label : widget.findChildren<QLabel*>()) texts.append(label->text());
    return texts;
}

} // namespace brisvane::test
