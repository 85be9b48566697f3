// TForm1's life: the window built, its handlers connected, the events it
// watches, and what happens when it shows and closes.
#include "window/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QShowEvent>
#include <QTimer>
#include <QTreeView>

#include <utility>

#include "results/run_state.h"
#include "results/status_lines.h"
#include "window/controls.h"
#include "window/result_tree_model.h"

namespace shelvo {

TForm1::TForm1(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("TForm1"));
  setWindowTitle(QStringLiteral("Shelvo"));
  // "MS Sans Serif" 8 pt stands in as a metric-compatible sans at 10 pixels.
  QFont design_font(QStringLiteral("Liberation Sans"));
  design_font.setPixelSize(10);
  setFont(design_font);

  client_ = new QWidget(this);
  client_->setObjectName(QStringLiteral("client"));
  // The client area fills the window, down to the size below which Go or the
  // status line would be cut; only a screen smaller than that (a large scale
  // factor on a small screen) makes it scroll, so that nothing is out of reach.
  auto* scroller = new QScrollArea(this);
  scroller->setObjectName(QStringLiteral("client_scroller"));
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setWidgetResizable(true);
  scroller->setWidget(client_);
  setCentralWidget(scroller);
  client_->installEventFilter(this);

  create_controls();
  create_menu();
  set_tab_order();

  model_ = new ResultTreeModel(tree_, this);
  TreeView1->setModel(model_);
  status_view_ = std::make_unique<WindowStatusView>(Lab_status, ProgressBar1);
  set_status_view(status_view_.get());
  connect_handlers();

  resize(design_client_width, design_client_height + menuBar()->sizeHint().height());
  client_->resize(design_client_width, design_client_height);
  FormResize(); // a hidden window gets its first resize event only when shown
  choose_file_ = [this](const QString& title, const QString& directory, const QString& name) {
    return choose_with_dialog(title, directory, name);
  };
  open_dialog_title_ = QStringLiteral("Locating new database");
  open_dialog_name_ = QStringLiteral("(filename will be ignored)");
  FormCreate();
}

TForm1::~TForm1() {
  if (status_view() == status_view_.get()) set_status_view(nullptr);
  TreeView1->setModel(nullptr);
  // The model watches tree_, a member: it must go before the members do, not
  // with the window's children afterwards.
  delete model_;
  model_ = nullptr;
}

void TForm1::connect_handlers() {
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(true); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(AdvancedMode1, &QAction::triggered, this, [this] { AdvancedMode1Click(); });
  connect(About1, &QAction::triggered, this, [this] { About1Click(); });
  connect(Exit1, &QAction::triggered, this, [this] { Exit1Click(); });
  // The rules run whenever a state or a text changes, also when the program
  // sets it (a recalled search, the settings), so that a state the program sets
  // obeys the same rules as one set by hand: toggled and textChanged, not
  // clicked and textEdited.
  connect(Che_containsdir, &QCheckBox::toggled, this, [this] { Che_containsdirClick(); });
  connect(Che_onlydirectory, &QCheckBox::toggled, this, [this] { Che_onlydirectoryClick(); });
  connect(Che_onlytotal, &QCheckBox::toggled, this, [this] { Che_onlytotalClick(); });
  Lab_onlytotal->on_click = [this] { Lab_onlytotalClick(); };
  for (QLineEdit* edit : Ed_search)
    connect(edit, &QLineEdit::textChanged, this, [this, edit] { MarkExclusionMask(edit); });
  for (QLineEdit* edit : Ed_volumemask)
    connect(edit, &QLineEdit::textChanged, this, [this, edit] { MarkExclusionMask(edit); });
  for (QLineEdit* edit : Ed_search) edit->installEventFilter(this);
  for (QLineEdit* edit : Ed_volumemask) edit->installEventFilter(this);
  connect(BitBtnGo, &QPushButton::clicked, this, [this] { BitBtnGoClick(); });
  connect(Bou_stop, &QPushButton::clicked, this, [this] { Bou_stopClick(); });
  connect(Bou_expandall, &QPushButton::clicked, this, [this] { Bou_expandallClick(); });
  connect(Bou_collapseall, &QPushButton::clicked, this, [this] { Bou_collapseallClick(); });
  connect(Bou_sortbyname, &QPushButton::clicked, this, [this] { Bou_sortbynameClick(); });
  connect(Bou_sortbysize, &QPushButton::clicked, this, [this] { Bou_sortbysizeClick(); });
  TreeView1->viewport()->installEventFilter(this);
  connect(ImportDatabaseincurrentone1, &QAction::triggered, this, [this] { ImportDatabaseincurrentone1Click(); });
  connect(Exportdatalinktovolumeinthetree1, &QAction::triggered, this,
          [this] { Exportdatalinktovolumeinthetree1Click(); });
  // The user's pick only: the list also changes when a search is remembered,
  // which must not load an older search over the controls.
  connect(Com_search1, &QComboBox::activated, this, [this](int item) { Com_search1Change(item); });
  for (std::size_t k = 0; k < D_.size(); ++k)
    connect(D_[k], &QAction::triggered, this, [this, k] { OpenRecentCatalog(static_cast<int>(k)); });
  connect(ChooseNew, &QAction::triggered, this, [this] { ChooseNewClick(); });
  connect(Ed_pathbase, &QLineEdit::textChanged, this, [this] { Ed_pathbaseChange(); });
  // The keys a desktop user expects: Escape stops a run, Ctrl+Q quits (also
  // while a run has the menu disabled: the close then waits for the run).
  connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, [this] { Bou_stopClick(); });
  Exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  addAction(Exit1);
  // A tree built anew starts at its left edge, where the names are.
  connect(model_, &QAbstractItemModel::modelReset, this, [this] { TreeView1->horizontalScrollBar()->setValue(0); });
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // The client area is watched from its creation on, before the other controls exist.
  if (watched == client_) {
    if (event->type() == QEvent::Resize) FormResize();
    return QMainWindow::eventFilter(watched, event);
  }
  if (watched == TreeView1->viewport()) {
    if (event->type() == QEvent::MouseButtonPress) {
      const auto* press = static_cast<QMouseEvent*>(event);
      TreeView1MouseDown(press->button(), press->position().toPoint());
    }
    return QMainWindow::eventFilter(watched, event);
  }
  if (event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      GoOnEnter(key);
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}

void TForm1::GoOnEnter(int key) {
  if (key == Qt::Key_Return || key == Qt::Key_Enter) BitBtnGoClick();
}

void TForm1::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // Told once, when there is a window to tell it over.
  if (!startup_notice_.isEmpty()) {
    const QString notice = std::exchange(startup_notice_, QString());
    QTimer::singleShot(0, this, [this, notice] {
      dialogs_->show_message(notice.toStdString(), "Shelvo", DialogButtons::ok, DialogIcon::warning);
    });
  }
}

void TForm1::About1Click() {
  auto* box = new QMessageBox(QMessageBox::NoIcon, QStringLiteral("THE Credit"),
                              QStringLiteral("Shelvo v" SHELVO_VERSION "\n"
                                             "A cataloguer of volumes: disks, sticks, shares and their archives.\n\n"
                                             "Built on C++20 and Qt 6.\n"
                                             "Thanks to everyone who keeps old disks readable."),
                              QMessageBox::Ok, nullptr);
  box->setObjectName(QStringLiteral("AboutBox"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  // During a run the box must not hold the pass inside its own event loop.
  if (run_in_progress()) box->open();
  else box->exec();
}

void TForm1::Exit1Click() { close(); }

void TForm1::closeEvent(QCloseEvent* event) {
  // A window closed during a run would leave the pass working on a destroyed
  // window: the run is stopped (an add then keeps the catalog as it was) and
  // the window closes when the pass has returned.
  if (run_in_progress()) {
    close_requested_ = true;
    stop_flag = 1;
    event->ignore();
    return;
  }
  FormDestroy();
  QMainWindow::closeEvent(event);
}

} // namespace shelvo
