// lumaprogress: the progress window of lumabatch. Reads the tool's messages on standard
// input, writes "cancel" on standard output when the user cancels, and closes when standard
// input ends (the tool has ended). $LUMAPROGRESS_LOG names a file that receives what the
// window shows, line by line, for checking the window without a screen.

#include "platform/image_tool.h"
#include "progress_window.h"

#include <QApplication>
#include <QLabel>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char** argv) {
    using pxw::lumaprogress::ProgressWindow;
    // The tool may be gone before the window's last words.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    FILE* log = nullptr;
    if (const char* logPath = std::getenv("LUMAPROGRESS_LOG"))
        log = std::fopen(logPath, "a");
    auto record = [log](const QString& text) {
        if (log) {
            std::fprintf(log, "%s\n", text.toUtf8().constData());
            std::fflush(log);
        }
    };

    ProgressWindow window([] {
        constexpr char Cancel[] = "cancel\n";
        [[maybe_unused]] ssize_t written = ::write(STDOUT_FILENO, Cancel, sizeof Cancel - 1);
        QApplication::exit(0);
    });
    if (const char* title = std::getenv(pxw::platform::image_tool::ProgressTitleVariable))
        window.keepTitle(QString::fromUtf8(title));
    window.show();
    const char* owner = std::getenv(pxw::platform::image_tool::ProgressOwnerVariable);
    pxw::lumaprogress::placeOver(window, QString::fromUtf8(owner ? owner : ""));
    record(QStringLiteral("shown"));

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &window, [&] {
        char buffer[4096];
        const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (got <= 0) {
            input.setEnabled(false);
            window.toolEnded();
            record(QStringLiteral("closed"));
            QApplication::exit(0);
            return;
        }
        pending.append(buffer, got);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QString before = window.count()->text();
            window.apply(QString::fromUtf8(pending.left(end)));
            pending.remove(0, end + 1);
            if (window.count()->text() != before)
                record(window.count()->text());
        }
    });
    const int status = QApplication::exec();
    if (log)
        std::fclose(log);
    return status;
}
