#include "report/FeedLauncher.h"

#include "core/Error.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>

#include <csignal>

#include <netdb.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr std::chrono::milliseconds kPatience{2000};
constexpr std::chrono::milliseconds kPoll{10};
// The feed ends within a second of SIGTERM; an idle one at once. Exit is not held up longer.
constexpr int kStopMs = 500;

} // namespace

FeedLauncher::FeedLauncher(QString program, QString host)
    : m_program(std::move(program))
    , m_host(std::move(host)) {
    const qsizetype colon = m_host.lastIndexOf(u':');
    QString address = m_host.left(colon);
    if (address.startsWith(u'[') && address.endsWith(u']'))
        address = address.mid(1, address.size() - 2);
    m_address = address.toStdString();
    m_port = m_host.mid(colon + 1).toStdString();
    m_loopback =
        colon > 0 && (address.startsWith(QLatin1String("127.")) ||
                      address == QLatin1String("::1") || address == QLatin1String("localhost"));
}

FeedLauncher::~FeedLauncher() {
    if (!running())
        return;
    m_process->terminate();
    // Killed by QProcess's destructor if it is still there.
    m_process->waitForFinished(kStopMs);
}

QString FeedLauncher::ProgramBeside(const QString& programDir) {
    const QString feed = QStringLiteral("/nimbrel-feed");
    if (QDir::cleanPath(programDir).endsWith(QLatin1String("/lib/nimbrel")))
        return QDir::cleanPath(programDir + QStringLiteral("/../../bin") + feed);
    return QDir::cleanPath(programDir + QStringLiteral("/../feed") + feed);
}

FeedFetch FeedLauncher::Around(FeedFetch fetch, std::shared_ptr<FeedLauncher> launcher) {
    return [fetch = std::move(fetch),
            launcher = std::move(launcher)](const QString& url, std::chrono::milliseconds timeout) {
        const QDeadlineTimer deadline(timeout);
        Result<QString> body = fetch(url, timeout);
        const bool fromHost =
            url.startsWith(QLatin1String("http://") + launcher->m_host + QLatin1Char('/'));
        if (body.ok() || body.code() != ErrorCode::FeedRefused || !fromHost ||
            !launcher->start(kPatience))
            return body;
        // Asked even when the feed ended at once: another server may have taken the port.
        const std::chrono::milliseconds left(deadline.remainingTime());
        return left.count() > 0 ? fetch(url, left) : body;
    };
}

bool FeedLauncher::running() const {
    return m_process && m_process->state() != QProcess::NotRunning;
}

bool FeedLauncher::start(std::chrono::milliseconds patience) {
    if (!m_loopback)
        return false;
    const QDeadlineTimer deadline(patience);
    // A run nested in another's wait finds the feed that one started.
    if (!running()) {
        if (!QFileInfo(m_program).isExecutable())
            return false;
        m_process = std::make_unique<QProcess>();
        // Its messages go where the program's go.
        m_process->setProcessChannelMode(QProcess::ForwardedChannels);
        m_process->setStandardInputFile(QProcess::nullDevice());
        // Ends with the program even when the program is killed, also in the moment before
        // this takes effect.
        const pid_t program = ::getpid();
        m_process->setChildProcessModifier([program] {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != program)
                ::_exit(1);
        });
        m_process->start(m_program, {QStringLiteral("--listen"), m_host});
        if (!m_process->waitForStarted(static_cast<int>(deadline.remainingTime())))
            return false;
    }
    // Polled, since the feed says nothing when it listens.
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
        if (!running() || deadline.hasExpired() || listening())
            wait.quit();
    });
    poll.start(kPoll);
    if (!listening())
        wait.exec(QEventLoop::ExcludeUserInputEvents);
    return true;
}

bool FeedLauncher::listening() const {
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (::getaddrinfo(m_address.c_str(), m_port.c_str(), &hints, &found) != 0)
        return false;
    bool accepted = false;
    for (const addrinfo* a = found; a && !accepted; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0)
            continue;
        // On loopback a connection is accepted or refused at once.
        accepted = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0;
        ::close(fd);
    }
    ::freeaddrinfo(found);
    return accepted;
}
