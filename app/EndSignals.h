// SIGTERM (what a session manager sends at log-out), SIGHUP and SIGINT end
// the desktop program as closing its window would, without a question that
// nobody is there to answer.
#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

class CEndSignals : public QObject {
    Q_OBJECT

public:
    // `onEnd` runs on the UI thread once a signal came. One object per process.
    explicit CEndSignals(std::function<void()> onEnd, QObject* parent = nullptr);
    ~CEndSignals() override;
    // False when the signals could not be taken over (the defaults stay).
    bool Installed() const { return m_notifier != nullptr; }

private:
    std::function<void()> m_onEnd;
    QSocketNotifier* m_notifier = nullptr;
};
