// Every dialog form at the default font: each label, button or group title text fits its widget.

#include "ui_AboutDialog.h"
#include "ui_InfoDialog.h"
#include "ui_LoadProgress.h"
#include "ui_SelSigDialog.h"
#include "ui_SetRecordDialog.h"
#include "ui_SetupRS.h"

#include <QtTest>

#include <functional>
#include <memory>

class TestForms : public QObject
{
    Q_OBJECT
private slots:
    void textsShowWhole();
};

using MakeForm = std::function<void(QDialog*)>;

template <class Form>
MakeForm form()
{
    return [](QDialog* d) {
        static Form f; // the generated form only sets the dialog up; it may outlive it
        f.setupUi(d);
    };
}

// The column up to which the widget's text is drawn, or 0 for a widget without text.
int textEnd(QWidget* w)
{
    const QFontMetrics fm = w->fontMetrics();
    QStyle* style = w->style();
    if (auto* l = qobject_cast<QLabel*>(w); l && !l->wordWrap() && l->pixmap().isNull()) {
        int end = 0;
        for (const QString& line : l->text().split(QLatin1Char('\n')))
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

void TestForms::textsShowWhole()
{
    QStringList cut;
    for (const MakeForm& make : {form<Ui::SetRecordDialog>(), form<Ui::SelSigDialog>(), form<Ui::SetupRS>(),
                                 form<Ui::InfoDialog>(), form<Ui::AboutDialog>(), form<Ui::LoadProgress>()}) {
        QDialog d;
        make(&d);
        for (QWidget* w : d.findChildren<QWidget*>()) {
            const int end = textEnd(w);
            if (end > w->width())
                cut << QStringLiteral("%1 (%2 of %3)").arg(w->objectName()).arg(w->width()).arg(end);
        }
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral(", "))));
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
