// The built torvanetx executable, run as a process offscreen with a settings
// folder of the test's own: its command line, an unattended start and exit,
// and a start without its conversion library.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>

#include "InstanceLock.h"

namespace torvane {
namespace {

struct ProcessRun {
  int exitCode = -1;
  bool crashed = true;
  QString out;
  QString err;
};

ProcessRun RunProgram(const QString& program, const QStringList& arguments,
                      const QString& configHome) {
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_CONFIG_HOME", configHome);
  env.remove("LD_LIBRARY_PATH");  // the program finds its libraries beside itself only
  env.remove("TORVANETX_SCREENSHOT");
  process.setProcessEnvironment(env);
  process.start(program, arguments);
  ProcessRun run;
  if (!process.waitForFinished(60000)) {
    process.kill();
    process.waitForFinished();
    return run;
  }
  run.exitCode = process.exitCode();
  run.crashed = process.exitStatus() != QProcess::NormalExit;
  run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
  run.err = QString::fromLocal8Bit(process.readAllStandardError());
  return run;
}

QString SettingsText(const QTemporaryDir& config) {
  QFile file(config.filePath("TorvaneTX/HKEY_CURRENT_USER.reg"));
  return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

const QRegularExpression kReady("^ready after [0-9]+\\.[0-9] ms\n$");

TEST(ProgramTest, HelpNamesExitWhenReadyWithoutNeedingADisplay) {
  QTemporaryDir config;
  QProcess process;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.remove("QT_QPA_PLATFORM");
  env.remove("DISPLAY");
  env.remove("WAYLAND_DISPLAY");
  process.setProcessEnvironment(env);
  process.start(TORVANE_TORVANETX, {"--help"});
  ASSERT_TRUE(process.waitForFinished(30000));
  EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(process.exitCode(), 0);
  const QString help = QString::fromLocal8Bit(process.readAllStandardOutput());
  EXPECT_TRUE(help.contains("--exit-when-ready")) << help.toStdString();
  EXPECT_TRUE(help.contains("ready after")) << help.toStdString();
}

TEST(ProgramTest, ExitWhenReadyShowsTheWindowThenExitsAsTheOperatorWould) {
  QTemporaryDir config;
  ASSERT_TRUE(config.isValid());
  const ProcessRun run = RunProgram(TORVANE_TORVANETX, {"--exit-when-ready"}, config.path());
  ASSERT_FALSE(run.crashed) << run.err.toStdString();
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(kReady.match(run.out).hasMatch()) << run.out.toStdString();
  // A first start: the transmitter message, answered unattended.
  EXPECT_TRUE(run.err.contains("Torvane TX - Communications: Please go to Settings->Transmitter"))
      << run.err.toStdString();
  EXPECT_FALSE(run.err.contains("Error - frmMain")) << run.err.toStdString();
  // The exit saved as a normal one does: links, page count, background colour.
  const QString saved = SettingsText(config);
  EXPECT_TRUE(saved.contains("[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\TimingSystem]"));
  EXPECT_TRUE(saved.contains("\"MaxPages\"=\"2\"")) << saved.toStdString();
  EXPECT_TRUE(saved.contains("\"BackColor\"=")) << saved.toStdString();
}

// A settings file whose Web key asks for port.
void WriteWebPort(const QTemporaryDir& config, quint16 port) {
  QDir(config.path()).mkpath("TorvaneTX");
  QFile file(config.filePath("TorvaneTX/HKEY_CURRENT_USER.reg"));
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(QString("REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\SOFTWARE\\TorvaneTX\\Web]\r\n"
                     "\"Port\"=dword:%1\r\n\r\n")
                 .arg(port, 8, 16, QChar('0'))
                 .toUtf8());
}

TEST(ProgramTest, WebViewServesWhileTheWindowRunsAndATakenPortIsSaidOnce) {
  QTcpServer taken;
  ASSERT_TRUE(taken.listen(QHostAddress("127.0.0.1")));
  {
    QTemporaryDir config;
    WriteWebPort(config, taken.serverPort());
    const ProcessRun run = RunProgram(TORVANE_TORVANETX, {"--exit-when-ready"}, config.path());
    ASSERT_FALSE(run.crashed) << run.err.toStdString();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(kReady.match(run.out).hasMatch()) << run.out.toStdString();
    const QString said =
        QString("cannot serve the web view on 127.0.0.1:%1").arg(taken.serverPort());
    EXPECT_EQ(run.err.count(said), 1) << run.err.toStdString();
    EXPECT_FALSE(run.err.contains("web view on http")) << run.err.toStdString();
  }
  const quint16 port = taken.serverPort();
  taken.close();
  QTemporaryDir config;
  WriteWebPort(config, port);
  const ProcessRun run = RunProgram(TORVANE_TORVANETX, {"--exit-when-ready"}, config.path());
  ASSERT_FALSE(run.crashed) << run.err.toStdString();
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.err.contains(QString("torvanetx: web view on http://127.0.0.1:%1/").arg(port)))
      << run.err.toStdString();
}

TEST(ProgramTest, WithoutItsConversionLibraryTheLoadErrorIsShownAndTheWindowComesUp) {
  QTemporaryDir config;
  QTemporaryDir folder;  // the program alone, without libTorvaneConvert.so beside it
  ASSERT_TRUE(config.isValid() && folder.isValid());
  const QString copy = folder.filePath("torvanetx");
  ASSERT_TRUE(QFile::copy(TORVANE_TORVANETX, copy));
  ASSERT_FALSE(QFile::exists(folder.filePath("libTorvaneConvert.so")));
  const ProcessRun run = RunProgram(copy, {"--exit-when-ready"}, config.path());
  ASSERT_FALSE(run.crashed) << run.err.toStdString();
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.err.count("Error - frmMain: Error detected in the main form load event!"), 1)
      << run.err.toStdString();
  EXPECT_TRUE(run.err.contains("libTorvaneConvert.so")) << run.err.toStdString();
  EXPECT_TRUE(kReady.match(run.out).hasMatch()) << run.out.toStdString();
}

TEST(ProgramTest, SecondCopyLeavesTheSettingsFilesAlone) {
  QTemporaryDir config;
  ASSERT_TRUE(config.isValid());
  ASSERT_TRUE(QDir(config.path()).mkpath("TorvaneTX"));
  // A file the first copy would set aside as unreadable, were it read.
  const QString settingsPath = config.filePath("TorvaneTX/HKEY_CURRENT_USER.reg");
  const QByteArray unreadable = "not a settings file\n";
  {
    QFile file(settingsPath);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(unreadable);
  }
  InstanceLock running(config.filePath("TorvaneTX/TorvaneTX.lock").toStdString());
  std::string error;
  ASSERT_EQ(running.Take(&error), InstanceLock::Result::kTaken) << error;

  const ProcessRun run = RunProgram(TORVANE_TORVANETX, {"--exit-when-ready"}, config.path());
  ASSERT_FALSE(run.crashed) << run.err.toStdString();
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_TRUE(run.err.contains("TorvaneTX: A previous instance of TorvaneTX has been detected."))
      << run.err.toStdString();
  EXPECT_FALSE(run.out.contains("ready after")) << run.out.toStdString();
  QFile file(settingsPath);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), unreadable);
  const QStringList inFolder = QDir(config.filePath("TorvaneTX")).entryList(QDir::Files);
  EXPECT_EQ(inFolder, QStringList({"HKEY_CURRENT_USER.reg", "TorvaneTX.lock"}))
      << inFolder.join(", ").toStdString();
}

}  // namespace
}  // namespace torvane
