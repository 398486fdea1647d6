#include "frmOpenLocation.h"

#include "openlocation/LocationHistory.h"
#include "startup/Services.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace quavix {

namespace {
frmOpenLocation* g_instance = nullptr;

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}
} // namespace

frmOpenLocation* frmOpenLocation::instance()
{
    if (!g_instance) {
        g_instance = new frmOpenLocation;
        g_instance->Form_Load();
    }
    return g_instance;
}

frmOpenLocation* frmOpenLocation::loaded()
{
    return g_instance;
}

frmOpenLocation::frmOpenLocation(QWidget* parent) : QDialog(parent)
{
    setObjectName("frmOpenLocation");
    setWindowTitle("Open Location");
    // Only the strip decides when the program ends; closing this window while the strip
    // is hidden in the tray must not end it.
    setAttribute(Qt::WA_QuitOnClose, false);
    setModal(false);

    Label1 = new QLabel(
        "Enter the location you want to play.  Remember to include any prefix or suffix "
        "information required to play the location. (i.e. mms://media.example.net/RockMusic)",
        this);
    Label1->setObjectName("Label1");
    Label1->setWordWrap(true);
    txtLocation = new QLineEdit(this);
    txtLocation->setObjectName("txtLocation");
    txtLocation->setAccessibleName(QStringLiteral("Location"));
    lstLocationHistory = new QListWidget(this);
    lstLocationHistory->setObjectName("lstLocationHistory");
    lstLocationHistory->setAccessibleName(QStringLiteral("Earlier locations"));
    lstLocationHistory->setSelectionMode(QAbstractItemView::SingleSelection);
    lstLocationHistory->viewport()->installEventFilter(this);
    cmdOK = new QPushButton("OK", this);
    cmdOK->setObjectName("cmdOK");
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton("Cancel", this);
    cmdCancel->setObjectName("cmdCancel");

    mnuPopUp = new QMenu("Pop Up", this);
    mnuPopUp->setObjectName("mnuPopUp");
    mnuRemoveItem = mnuPopUp->addAction("Remove Item");
    mnuRemoveItem->setObjectName("mnuRemoveItem");

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(txtLocation);
    layout->addWidget(lstLocationHistory, 1);
    layout->addLayout(buttons);
    resize(420, 280);

    connect(cmdOK, &QPushButton::clicked, this, &frmOpenLocation::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmOpenLocation::cmdCancel_Click);
    connect(lstLocationHistory, &QListWidget::itemClicked, this,
            &frmOpenLocation::lstLocationHistory_Click);
    // The list's Click also comes when the arrow keys move the selection.
    connect(lstLocationHistory, &QListWidget::itemSelectionChanged, this,
            &frmOpenLocation::lstLocationHistory_Click);
    connect(lstLocationHistory, &QListWidget::itemDoubleClicked, this,
            &frmOpenLocation::lstLocationHistory_DblClick);
    connect(mnuRemoveItem, &QAction::triggered, this, &frmOpenLocation::mnuRemoveItem_Click);
}

frmOpenLocation::~frmOpenLocation()
{
    if (g_instance == this)
        g_instance = nullptr;
}

void frmOpenLocation::Form_Load()
{
    OptionsStore& store = *services().options;
    txtLocation->setText(qs(loadLastLocation(store)));
    lstLocationHistory->clear();
    for (const auto& entry : loadLocationHistory(store))
        lstLocationHistory->addItem(qs(entry));
}

void frmOpenLocation::cmdOK_Click()
{
    hide();
    std::vector<std::string> history;
    history.reserve(static_cast<std::size_t>(lstLocationHistory->count()));
    for (int i = 0; i < lstLocationHistory->count(); ++i)
        history.push_back(lstLocationHistory->item(i)->text().toStdString());
    if (openLocation(txtLocation->text().toStdString(), history))
        unload();
    else
        show();
}

void frmOpenLocation::cmdCancel_Click()
{
    unload();
}

void frmOpenLocation::lstLocationHistory_Click()
{
    if (auto* item = lstLocationHistory->currentItem(); item && item->isSelected())
        txtLocation->setText(item->text());
}

void frmOpenLocation::lstLocationHistory_DblClick()
{
    lstLocationHistory_Click();
    cmdOK_Click();
}

void frmOpenLocation::lstLocationHistory_MouseDown(int button, int, int x, int y)
{
    if (button == 2)
        mnuPopUp->popup(lstLocationHistory->viewport()->mapToGlobal(QPoint(x, y)));
}

void frmOpenLocation::mnuRemoveItem_Click()
{
    auto* dialogs = services().dialogs;
    const auto selected = lstLocationHistory->selectedItems();
    if (selected.isEmpty()) {
        dialogs->messageBox("Selection Error", "You have not selected an item to remove",
                            MsgIcon::Information, MsgButtons::Ok);
        return;
    }
    if (dialogs->messageBox("Remove Item", "Are you sure you want to remove the selected item?",
                            MsgIcon::Question, MsgButtons::YesNo) == MsgAnswer::Yes) {
        // The box ran an event loop: take the selection as it is now.
        const auto still = lstLocationHistory->selectedItems();
        if (!still.isEmpty())
            delete still.front();
    }
}

void frmOpenLocation::reject()
{
    cmdCancel_Click();
}

void frmOpenLocation::unload()
{
    if (g_instance == this)
        g_instance = nullptr;
    hide();
    deleteLater();
}

void frmOpenLocation::closeEvent(QCloseEvent* event)
{
    event->accept();
    unload();
}

bool frmOpenLocation::eventFilter(QObject* watched, QEvent* event)
{
    // A right press opens the menu and leaves the selection as it was.
    if (watched == lstLocationHistory->viewport() && event->type() == QEvent::MouseButtonPress) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton) {
            QPoint p = mouse->position().toPoint();
            lstLocationHistory_MouseDown(2, 0, p.x(), p.y());
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quavix
