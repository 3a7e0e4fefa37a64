// Every form and window of the program at the default font: each label, button or group title
// text fits its widget, and each widget lies inside its parent (inside a group's frame below its
// title). A new window is one more row.

#include "textfit.h"
#include "ui_AboutDialog.h"
#include "ui_ExportDialog.h"
#include "ui_FFTDlg.h"
#include "ui_HitSetDialog.h"
#include "ui_HitTable.h"
#include "ui_InfoDialog.h"
#include "ui_LoadProgress.h"
#include "ui_LocationDialog.h"
#include "ui_LocationWindow.h"
#include "ui_PrintDialog.h"
#include "ui_SelSigDialog.h"
#include "ui_SeriesDialog.h"
#include "ui_SeriesTable.h"
#include "ui_SetRecordDialog.h"
#include "ui_SetupRS.h"
#include "ui_WinFunc.h"

#include <QtTest>

#include <functional>
#include <memory>

// Makes the window to check (the test shows it).
using MakeWindow = std::function<QWidget*()>;
Q_DECLARE_METATYPE(MakeWindow)

class TestForms : public QObject
{
    Q_OBJECT
private slots:
    void textsShowWhole_data();
    void textsShowWhole();
};

namespace {

// A form of the designer set up on a dialog of its own.
template <class Form>
MakeWindow form()
{
    return [] {
        auto* d = new QDialog;
        static Form f; // the generated form only sets the dialog up; it may outlive it
        f.setupUi(d);
        return d;
    };
}

// Where the children of w may lie: a titled group's frame below its title, else all of w.
QRect room(QWidget* w)
{
    auto* g = qobject_cast<QGroupBox*>(w);
    if (!g || g->title().isEmpty())
        return w->rect();
    QStyleOptionGroupBox opt;
    opt.initFrom(g);
    opt.text = g->title();
    opt.subControls = QStyle::SC_GroupBoxLabel | QStyle::SC_GroupBoxFrame;
    return g->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxContents, g);
}

} // namespace

void TestForms::textsShowWhole_data()
{
    QTest::addColumn<MakeWindow>("make");
    QTest::newRow("acquisition parameters") << form<Ui::SetRecordDialog>();
    QTest::newRow("channel selection") << form<Ui::SelSigDialog>();
    QTest::newRow("COM port") << form<Ui::SetupRS>();
    QTest::newRow("record information") << form<Ui::InfoDialog>();
    QTest::newRow("about") << form<Ui::AboutDialog>();
    QTest::newRow("progress") << form<Ui::LoadProgress>();
    QTest::newRow("FFT settings") << form<Ui::WinFunc>();
    QTest::newRow("FFT preview") << form<Ui::FFTDlg>();
    QTest::newRow("print") << form<Ui::PrintDialog>();
    QTest::newRow("export options") << form<Ui::ExportDialog>();
    QTest::newRow("hit search settings") << form<Ui::HitSetDialog>();
    QTest::newRow("hit table") << form<Ui::HitTable>();
    QTest::newRow("location settings") << form<Ui::LocationDialog>();
    QTest::newRow("location window") << form<Ui::LocationWindow>();
    QTest::newRow("series settings") << form<Ui::SeriesDialog>();
    QTest::newRow("series table") << form<Ui::SeriesTable>();
}

void TestForms::textsShowWhole()
{
    QFETCH(MakeWindow, make);
    const std::unique_ptr<QWidget> window(make());
    window->show(); // laid out and painted once, as the user first sees it
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QStringList faults;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window.get()))
            continue;
        const int end = textEnd(w);
        if (end > w->width())
            faults << QStringLiteral("%1 cut (%2 of %3)").arg(w->objectName()).arg(w->width()).arg(end);
        // The parts of Qt's own widgets (unnamed, or named "qt_...") are theirs to place.
        const bool ours = !w->objectName().isEmpty() && !w->objectName().startsWith(QLatin1String("qt_"));
        if (ours && !w->isWindow() && !room(w->parentWidget()).contains(w->geometry()))
            faults << QStringLiteral("%1 outside %2").arg(w->objectName(), w->parentWidget()->objectName());
    }
    QVERIFY2(faults.isEmpty(), qPrintable(faults.join(QStringLiteral(", "))));
}

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
