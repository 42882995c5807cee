#include "tests/app/SetupRun.h"
#include "tests/support/ModalCatcher.h"

#include <QMessageBox>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

namespace vexil::test {

std::function<void(QWidget *)> AnswerSetup(std::function<void(TSetupDlg &)> use,
                                           QStringList *boxes) {
    return [use = std::move(use), boxes](QWidget *modal) {
        if (auto *box = qobject_cast<QMessageBox *>(modal)) {
            if (boxes)
                *boxes << box->text();
            box->done(QMessageBox::Ok);
        } else if (auto *dlg = qobject_cast<TSetupDlg *>(modal)) {
            // From the dialog's own loop, so that the catcher sees the boxes it raises.
            QTimer::singleShot(0, dlg, [dlg, use] {
                use(*dlg);
                if (dlg->isVisible())
                    dlg->reject();
            });
        }
    };
}

void WithSetup(TfrmMain &form, const std::function<void(TSetupDlg &)> &use, QStringList *boxes) {
    ModalCatcher catcher(AnswerSetup(use, boxes));
    form.SetupButton->click();
    ASSERT_GE(catcher.Count(), 1) << "Setup opened no dialog";
}

} // namespace vexil::test
