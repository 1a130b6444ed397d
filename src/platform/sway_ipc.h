#pragma once

#include <QByteArray>
#include <QObject>
#include <QPoint>
#include <QRect>

#include <memory>
#include <optional>

class QJsonDocument;
class QSocketNotifier;

namespace pindle {

// A client of sway's IPC socket ($SWAYSOCK, the i3-compatible protocol of sway-ipc(7)). sway
// centres floating X11 windows and ignores the position they ask for, and XWayland knows nothing
// of the bars: this is where Pindle asks sway for both. Requests block for at most a short while,
// so a compositor that does not answer costs a delay, never a hang.
class SwayIpc final : public QObject {
    Q_OBJECT

public:
    // Connected to the session's sway, or null when there is none.
    static std::unique_ptr<SwayIpc> connectToSession();
    ~SwayIpc() override;

    // The usable area of the output the user is on (the focused workspace's rectangle): the
    // output less its bars and outer gaps, in layout coordinates, which XWayland's share.
    std::optional<QRect> focusedWorkArea();

    // Moves the floating X11 window `window` so its top-left corner lands on `topLeft`. False when
    // sway manages no such window (not mapped yet, or no answer).
    bool moveWindow(quint32 window, QPoint topLeft);

    // Hears of windows sway places (windowPlaced) while `on`: only then, so Pindle does not wake up
    // for every window of the session. False when sway does not take the subscription.
    bool watchWindows(bool on);

signals:
    // sway placed a window as it does on mapping it: took it into its tree (`floating` false), or
    // then made it float, centred (`floating` true). `x11Window` is 0 for a Wayland client's.
    void windowPlaced(quint32 x11Window, bool floating);

private:
    SwayIpc(QString path, int requests);
    std::optional<QJsonDocument> request(quint32 type, const QByteArray& payload);
    void readEvents();

    QString m_path;
    int m_requests;
    int m_events = -1;
    QSocketNotifier* m_eventNotifier = nullptr;
    QByteArray m_eventBuffer;
};

} // namespace pindle
