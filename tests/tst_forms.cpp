// Every dialog form at the default font: each label, button or group title text fits its widget.

#include "textfit.h"
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
