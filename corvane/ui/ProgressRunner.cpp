#include "ProgressRunner.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <algorithm>
#include <limits>

#include "TaskIteration.h"
#include "WorkerThread.h"

namespace {

// Steps with nothing for the worker (saved pictures Save All passes by) are
// prepared in slices of at most this long between turns of the event loop.
constexpr qint64 kPrepareSliceMs = 15;

// While a background run works, what the user does reaches only its dialog:
// nothing may change the document under the worker, nor start a second run,
// also before the dialog shows.
class CInputGate : public QObject {
public:
    explicit CInputGate(QWidget* dialog) : dialog_(dialog) { qApp->installEventFilter(this); }
    ~CInputGate() override { qApp->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::Drop:
        case QEvent::Close: break;
        default: return false;
        }
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == dialog_ || dialog_->isAncestorOf(widget))) return false;
        if (event->type() == QEvent::Close) {
            if (!widget || !widget->isWindow()) return false;
            event->ignore();  // a window closed now would leave the run without its owner
        }
        return true;
    }

private:
    QWidget* dialog_;
};

// Drives one background run: Prepare and Apply on this thread, Work on the
// worker, the nested event loop turning in between.
class CBackgroundDriver {
public:
    CBackgroundDriver(int count, IBackgroundLoop& loop, QProgressDialog& dialog)
        : count_(count), loop_(loop), dialog_(dialog)
    {
        QObject::connect(&dialog, &QProgressDialog::canceled, &context_, [this] { cancelled_ = true; });
    }

    void Run()
    {
        QTimer::singleShot(0, &context_, [this] { Next(); });
        events_.exec();
        if (!done_) {
            // The application is quitting under the run: the worker ends
            // with the step in hand and closes what it opened.
            cancelled_ = true;
            if (!workerDonePosted_) worker_.Post([this] { loop_.WorkerDone(); });
        }
    }

private:
    void Next()
    {
        QElapsedTimer slice;
        slice.start();
        while (index_ < count_ && !cancelled_) {
            if (loop_.Prepare(index_)) {
                worker_.Post([this] { Work(); });
                return;
            }
            Advance();
            if (slice.elapsed() > kPrepareSliceMs) {
                QTimer::singleShot(0, &context_, [this] { Next(); });
                return;
            }
        }
        workerDonePosted_ = true;
        worker_.Post([this] {
            loop_.WorkerDone();
            QMetaObject::invokeMethod(&context_, [this] { done_ = true; events_.quit(); }, Qt::QueuedConnection);
        });
    }

    void Work()
    {
        try {
            loop_.Work(cancelled_);
        } catch (...) {
            // The step found nothing; Apply still runs so that the run goes on.
        }
        QMetaObject::invokeMethod(&context_, [this] {
            loop_.Apply();
            Advance();
            Next();
        }, Qt::QueuedConnection);
    }

    void Advance()
    {
        ++index_;
        if (!cancelled_) dialog_.setValue(std::min(index_, count_));
    }

    const int count_;
    IBackgroundLoop& loop_;
    QProgressDialog& dialog_;
    std::atomic_bool cancelled_{false};
    int index_ = 0;
    bool done_ = false;
    bool workerDonePosted_ = false;
    QObject context_;    // what the worker's results are queued to
    QEventLoop events_;
    CWorkerThread worker_;  // last: joined before the rest goes
};

}  // namespace

void CProgressRunner::SetUp(QProgressDialog& dialog, const std::wstring& content, int count) const
{
    dialog.setWindowTitle(QObject::tr("Operation in Progress"));
    dialog.setLabelText(QObject::tr("Please wait until the operation(s) completes...") + QStringLiteral("\n\n") +
                        QString::fromStdWString(content));
    dialog.setRange(0, count);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.setMinimumWidth(300);
}

void CProgressRunner::Run(const std::wstring& content, int count, const std::function<HRESULT(int& index)>& step)
{
    if (count <= 0 || running_) return;
    running_ = true;
    CTaskIteration iteration(count, step);
    QProgressDialog dialog(owner_);
    SetUp(dialog, content, count);
    dialog.setMinimumDuration(0);

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
    running_ = false;
}

void CProgressRunner::RunInBackground(const std::wstring& content, int count, IBackgroundLoop& loop)
{
    if (count <= 0 || running_) return;
    running_ = true;
    QProgressDialog dialog(owner_);
    SetUp(dialog, content, count);
    dialog.setMinimumDuration(std::numeric_limits<int>::max());  // shown below, not by its own guess
    CInputGate gate(&dialog);
    QTimer showLater;
    showLater.setSingleShot(true);
    QObject::connect(&showLater, &QTimer::timeout, &dialog, [&dialog] {
        if (!dialog.wasCanceled()) dialog.show();
    });
    showLater.start(ShowDialogAfterMs);
    CBackgroundDriver(count, loop, dialog).Run();
    running_ = false;
}
