#include "platform/TSecretServiceKeyring.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace vexil {

namespace {

// The Secret Service, and KDE's wallet, which QtKeychain speaks to directly on KDE.
const QStringList kKeyringNames = {"org.freedesktop.secrets", "org.kde.kwalletd5"};

bool keyringOnBus() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    // A keyring that is started on demand is as good as a running one.
    const QDBusReply<QStringList> activatable = bus.interface()->call("ListActivatableNames");
    for (const QString &name : kKeyringNames)
        if (bus.interface()->isServiceRegistered(name).value() ||
            (activatable.isValid() && activatable.value().contains(name)))
            return true;
    return false;
}

} // namespace

struct TSecretServiceKeyring::TOutcome {
    bool finished = false;
    QKeychain::Error error = QKeychain::NoError;
    QString errorText;
    QByteArray data;
};

TSecretServiceKeyring::TSecretServiceKeyring(std::chrono::milliseconds patience)
    : patience_(patience) {}

void TSecretServiceKeyring::RequireService() {
    if (present_ < 0)
        present_ = keyringOnBus() ? 1 : 0;
    if (present_ == 0)
        throw EKeyringMissing("No Secret Service answers on the session bus.");
}

TSecretServiceKeyring::TOutcome TSecretServiceKeyring::Run(QKeychain::Job *job) {
    TOutcome outcome;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job *done) {
        outcome.finished = true;
        outcome.error = done->error();
        outcome.errorText = done->errorString();
        if (auto *read = qobject_cast<QKeychain::ReadPasswordJob *>(done))
            outcome.data = read->binaryData();
        loop.quit();
    });
    QTimer::singleShot(patience_, &loop, &QEventLoop::quit);
    job->setAutoDelete(false);
    job->start();
    if (!outcome.finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    if (!outcome.finished) {
        QObject::disconnect(job, nullptr, &loop, nullptr);
        job->setAutoDelete(true);
    }
    return outcome;
}

namespace {

std::string timeOutText(std::chrono::milliseconds patience) {
    return "the keyring did not answer within " + std::to_string((patience.count() + 999) / 1000) +
           " seconds.";
}

} // namespace

TSecretServiceKeyring::TOutcome TSecretServiceKeyring::Perform(QKeychain::Job *job,
                                                               const std::string &name) {
    job->setKey(QString::fromStdString(name));
    TOutcome outcome = Run(job);
    if (!outcome.finished)
        throw EKeyringError(timeOutText(patience_));
    delete job;
    const std::string reason = outcome.errorText.isEmpty() ? std::string("no reason given")
                                                           : outcome.errorText.toStdString();
    switch (outcome.error) {
    case QKeychain::NoError:
    case QKeychain::EntryNotFound:
        return outcome;
    case QKeychain::NoBackendAvailable:
        throw EKeyringMissing("No keyring is available (" + reason + ").");
    case QKeychain::AccessDeniedByUser:
    case QKeychain::AccessDenied:
        throw EKeyringError("the keyring refused access (" + reason + ").");
    default:
        throw EKeyringError("the keyring failed (" + reason + ").");
    }
}

std::optional<std::string> TSecretServiceKeyring::Read(const std::string &name) {
    RequireService();
    const TOutcome outcome = Perform(new QKeychain::ReadPasswordJob(kServiceName), name);
    if (outcome.error == QKeychain::EntryNotFound)
        return std::nullopt;
    return outcome.data.toStdString();
}

void TSecretServiceKeyring::Write(const std::string &name, const std::string &secret) {
    RequireService();
    auto *job = new QKeychain::WritePasswordJob(kServiceName);
    job->setBinaryData(QByteArray::fromStdString(secret));
    if (Perform(job, name).error != QKeychain::NoError)
        throw EKeyringError("the keyring failed (it did not find the entry it was to write).");
}

void TSecretServiceKeyring::Remove(const std::string &name) {
    RequireService();
    Perform(new QKeychain::DeletePasswordJob(kServiceName), name);
}

} // namespace vexil
