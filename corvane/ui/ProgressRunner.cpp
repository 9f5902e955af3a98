#include "ProgressRunner.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>

#include "TaskIteration.h"

void CProgressRunner::Run(const std::wstring& content, int count, const std::function<HRESULT(int& index)>& step)
{
    if (count <= 0) return;
    CTaskIteration iteration(count, step);
    QProgressDialog dialog(owner_);
    dialog.setWindowTitle(QObject::tr("Operation in Progress"));
    dialog.setLabelText(QObject::tr("Please wait until the operation(s) completes...") + QStringLiteral("\n\n") +
                        QString::fromStdWString(content));
    dialog.setRange(0, count);
    dialog.setMinimumDuration(0);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumWidth(300);

    QEventLoop loop;
    QTimer ticker;
    ticker.setInterval(0);  // one step per turn of the event loop
    QObject::connect(&dialog, &QProgressDialog::canceled, &loop, [&] { iteration.Cancel(); });
    QObject::connect(&ticker, &QTimer::timeout, &loop, [&] {
        if (iteration.Finished() || iteration.OnTimer() == E_ABORT) {
            ticker.stop();
            loop.quit();
            return;
        }
        dialog.setValue(iteration.Position());
    });
    dialog.show();
    ticker.start();
    loop.exec();
    dialog.setValue(iteration.Position());
}
