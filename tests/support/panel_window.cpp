#include "tests/support/panel_window.h"

#include <QFile>
#include <QMenu>
#include <QPushButton>
#include <QTest>

#include "io/serial_link.h"
#include "sim/frame_encoder.h"
#include "tests/support/modal_answer.h"
#include "tests/support/wait.h"

void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace sensor::testing {

PanelOptions quiet_options(const QString& log_path) {
    PanelOptions options;
    options.log_path = log_path;
    options.echo_to_stderr = false;
    options.ports = [] { return QList<PortInfo>{}; };
    return options;
}

QStringList action_texts(const QMenu* menu) {
    QStringList out;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) out << plain(a->text());
    return out;
}

QAction* action_named(const QMenu* menu, const QString& part) {
    for (QAction* a : menu->actions())
        if (plain(a->text()).contains(part)) return a;
    return nullptr;
}

QByteArray frames(int count, int infrared) {
    const EncodedFrame f = encode_frame({{infrared, 600, 700}, {1800, 3600, 5400}, {100, 900}});
    QByteArray out;
    for (int i = 0; i < count; ++i) out.append(reinterpret_cast<const char*>(f.data()), static_cast<qsizetype>(f.size()));
    return out;
}

int line_count(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return 0;
    return static_cast<int>(f.readAll().count('\n'));
}

void PanelWindow::SetUp() {
    ASSERT_TRUE(dir.isValid());
    settings = std::make_unique<QSettings>(dir.filePath("panel.ini"), QSettings::IniFormat);
}

PanelOptions PanelWindow::options(const QString& log_name) {
    PanelOptions o;
    o.log_path = dir.filePath(log_name);
    o.echo_to_stderr = false;
    o.ports = [this] { return present; };
    o.settings = settings.get();
    return o;
}

void PanelWindow::start(std::unique_ptr<BoardConnection> connection, const PanelOptions& o) {
    session = std::make_unique<PanelSession>(o, std::move(connection));
    session->start();
    session->window().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&session->window()));
}

void PanelWindow::start_on(const QString& port) { start(std::make_unique<SerialLink>(port), options()); }

QString PanelWindow::port() const { return qobject_cast<SerialLink*>(session->connection())->port(); }

void PanelWindow::click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }

void PanelWindow::run_one_log_line(PtyPair& board) {
    click(form().Command1());
    board.write(frames(50));
    ASSERT_TRUE(wait_until([&] { return session->logic().frames_decoded() >= 50; }));
}

}  // namespace sensor::testing
