// The notification of an automatic run, received by a notification service
// of the test's own on a private session bus.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>
#include <ctime>

#include "tests/support/Sandbox.h"
#include "tests/support/TempDir.h"

namespace tidyfold::test {

// Stands in for the desktop's notification daemon.
class NotificationService : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList received;  // "app|summary|body|desktop-entry hint" per notification

public slots:
    uint Notify(const QString& app, uint, const QString&, const QString& summary, const QString& body,
                const QStringList&, const QVariantMap& hints, int)
    {
        received << app + "|" + summary + "|" + body + "|" + hints.value(QStringLiteral("desktop-entry")).toString();
        return static_cast<uint>(received.size());
    }
};

namespace {

class Notification : public ::testing::Test {
protected:
    void SetUp() override {
        bus_.start(QStringLiteral("dbus-daemon"), {"--session", "--nofork", "--print-address"});
        if (!bus_.waitForStarted() || !bus_.waitForReadyRead(10000))
            GTEST_SKIP() << "no dbus-daemon to run a private session bus";
        address_ = QString::fromUtf8(bus_.readLine()).trimmed();
        QDBusConnection connection = QDBusConnection::connectToBus(address_, QStringLiteral("test"));
        ASSERT_TRUE(connection.isConnected());
        ASSERT_TRUE(connection.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service_,
                                              QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(connection.registerService(QStringLiteral("org.freedesktop.Notifications")));
        program_ = sandbox_.AppFolder() + "/tidyfold";
        ASSERT_EQ(link(TIDYFOLD_PROGRAM, program_.c_str()), 0);
        cOptions options = sandbox_.Options(TransferMode::Move);
        options.TimeLimit(0.0f);
        sandbox_.WriteSettings(options);
    }
    void TearDown() override {
        QDBusConnection::disconnectFromBus(QStringLiteral("test"));
        bus_.kill();
        bus_.waitForFinished();
    }

    // Runs the program on the private bus, answering its calls meanwhile.
    int Run(const QStringList& arguments) {
        QProcess child;
        QStringList environment{"DBUS_SESSION_BUS_ADDRESS=" + address_, "PATH=/usr/bin:/bin"};
        for (const std::string& entry : sandbox_.Environment())
            environment << QString::fromStdString(entry);
        child.setEnvironment(environment);
        child.start(QString::fromStdString(program_), arguments);
        while (!child.waitForFinished(20))
            QCoreApplication::processEvents();
        return child.exitCode();
    }

    static void WaitUntilOld() {
        const std::time_t made = std::time(nullptr);
        while (std::time(nullptr) <= made)
            usleep(20'000);
    }

    Sandbox sandbox_;
    NotificationService service_;
    QProcess bus_;
    QString address_;
    std::string program_;
};

TEST_F(Notification, a_quiet_run_that_moved_files_says_how_many_and_others_say_nothing) {
    WriteFile(sandbox_.Desktop() + "/a.txt", "a");
    WriteFile(sandbox_.Desktop() + "/b.txt", "b");
    WaitUntilOld();
    EXPECT_EQ(Run({"--clean"}), 0);  // not automatic: no notification
    EXPECT_TRUE(service_.received.isEmpty());

    WriteFile(sandbox_.Desktop() + "/c.txt", "c");
    WriteFile(sandbox_.Desktop() + "/d.txt", "d");
    WaitUntilOld();
    EXPECT_EQ(Run({"--clean", "--quiet"}), 0);
    ASSERT_EQ(service_.received.size(), 1);
    EXPECT_EQ(service_.received[0].toStdString(),
              "Tidyfold|Tidyfold cleaned the Desktop|2 files taken off the Desktop.|org.tidyfold.Tidyfold");

    EXPECT_EQ(Run({"--clean", "--quiet"}), 0);  // nothing left to move: nothing to say
    EXPECT_EQ(service_.received.size(), 1);

    WriteFile(sandbox_.Desktop() + "/e.txt", "e");
    WaitUntilOld();
    EXPECT_EQ(Run({"--clean", "--quiet"}), 0);
    ASSERT_EQ(service_.received.size(), 2);
    EXPECT_EQ(service_.received[1].toStdString(),
              "Tidyfold|Tidyfold cleaned the Desktop|1 file taken off the Desktop.|org.tidyfold.Tidyfold");
}

}  // namespace
}  // namespace tidyfold::test

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "NotificationTest.moc"
