#pragma once

// Whether a widget's text shows whole at the widget's width (tst_english).

#include <QCheckBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>

// The column up to which the widget's text is drawn, or 0 for a widget without text.
inline int textEnd(QWidget* w)
{
    const QFontMetrics fm = w->fontMetrics();
    QStyle* style = w->style();
    if (auto* l = qobject_cast<QLabel*>(w); l && !l->wordWrap() && l->pixmap().isNull()) {
        int end = 0;
        // With a buddy the '&' marks the shortcut letter and is not drawn.
        const QString text = l->buddy() ? QString(l->text()).remove(QLatin1Char('&')) : l->text();
        for (const QString& line : text.split(QLatin1Char('\n')))
            end = std::max(end, fm.horizontalAdvance(line.trimmed()) + 2 * l->margin());
        return end;
    }
    if (auto* g = qobject_cast<QGroupBox*>(w); g && !g->title().isEmpty()) {
        QStyleOptionGroupBox opt;
        opt.initFrom(g);
        opt.text = g->title();
        opt.textAlignment = g->alignment();
        opt.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
        return style->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, g).right() + 1;
    }
    auto* b = qobject_cast<QAbstractButton*>(w);
    if (!b || b->text().isEmpty())
        return 0;
    QStyleOptionButton opt;
    opt.initFrom(b);
    opt.text = b->text();
    const QStyle::SubElement contents = qobject_cast<QCheckBox*>(b)      ? QStyle::SE_CheckBoxContents
                                        : qobject_cast<QRadioButton*>(b) ? QStyle::SE_RadioButtonContents
                                                                         : QStyle::SE_PushButtonContents;
    const QRect r = style->subElementRect(contents, &opt, b);
    const int text = fm.horizontalAdvance(QString(b->text()).remove(QLatin1Char('&')));
    // A push button centres its text (and icon) in the contents.
    if (contents == QStyle::SE_PushButtonContents)
        return b->width() - r.width() + text + (b->icon().isNull() ? 0 : b->iconSize().width() + 4);
    return r.left() + text;
}
