#include "desktop_app.h"

#include <QApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <QScreen>
#include <memory>

#include "compose/delivery.h"
#include "desktop_ui.h"
#include "dialogs.h"
#include "engine/comm_thread.h"
#include "engine/supervisor.h"
#include "icons.h"
#include "main_window.h"
#include "platform/clock.h"

namespace quillet {
namespace {

QString InstanceName() {
  return QString("Quillet_3.0-%1").arg(qEnvironmentVariable("USER", "user"));
}

// True when another instance answered: it raises its window, this one ends.
bool AskRunningInstance() {
  QLocalSocket socket;
  socket.connectToServer(InstanceName());
  if (!socket.waitForConnected(500)) return false;
  socket.write("raise\n");
  socket.waitForBytesWritten(500);
  return true;
}

}  // namespace

int RunDesktop(int argc, char** argv, const Directories& dirs) {
  QApplication app(argc, argv);
  app.setApplicationName("QuilletPost");
  app.setWindowIcon(ProgramIcon());
  app.setQuitOnLastWindowClosed(false);
  if (AskRunningInstance()) return 0;

  SystemClock clock;
  DesktopUi ui;
  QRect screen = app.primaryScreen() != nullptr ? app.primaryScreen()->availableGeometry()
                                                : QRect(0, 0, 1920, 1080);
  auto engine =
      std::make_unique<Engine>(clock, ui, dirs, ScreenSize{screen.width(), screen.height()});
  engine->LoadAll();
  MailSession window_session(*engine);  // the quit sequence's own connections
  engine->SetProtocols(&window_session);

  const GlobalSettings& g = engine->settings.global;
  if (g.connect_at_startup == 0 && g.startup_password_required != 0) {
    for (;;) {
      int result = AskStartupPassword(g, nullptr);
      if (result == 1) break;
      if (result == 0) return 0;  // nothing is saved
      AskUser("Password is incorrect.", "QuilletPost - Startup", MessageIcon::kExclamation,
              MessageButtons::kOk);
    }
  }

  CommThread worker(*engine, MailServices::Make);
  Supervisor supervisor(*engine, worker);
  MainWindow window(*engine, supervisor);
  ui.SetWindow(&window);

  QLocalServer::removeServer(InstanceName());
  QLocalServer instance;
  instance.listen(InstanceName());
  QObject::connect(&instance, &QLocalServer::newConnection, &window, [&] {
    while (QLocalSocket* s = instance.nextPendingConnection()) s->deleteLater();
    window.RestoreFromTray();
  });

  window.show();
  window.raise();
  window.StartTimers();
  int status = app.exec();
  WindowRect rect = window.LastRect();
  ui.SetWindow(nullptr);
  engine->SaveAll(&rect);
  return status;
}

}  // namespace quillet
