#include "frmProperties.h"

#include "properties/IconChange.h"
#include "properties/IconSet.h"
#include "properties/Placement.h"
#include "properties/PropertiesHost.h"
#include "startup/CommonDialog.h"
#include "startup/Globals.h"
#include "startup/OptionValues.h"
#include "startup/Services.h"
#include "startup/Windows.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPointer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <filesystem>

namespace quavix {

namespace {
frmProperties* g_instance = nullptr;
const char* const Options = "Options";
const int IconPixels = 32;

QString qs(const std::string& s)
{
    return QString::fromStdString(s);
}

PropertiesHost* host()
{
    return dynamic_cast<PropertiesHost*>(mainWindowIfLoaded());
}

void enableTimer1()
{
    if (MainWindowPort* w = mainWindowIfLoaded())
        w->setTimer1Enabled(true);
}

void processEventsOnce()
{
    services().process->processEvents();
}

// The dialog is laid out in twips, as designed; the window system gives the factors.
int twipsToPixelsX(int twips)
{
    double t = services().windows->twipsPerPixelX();
    return static_cast<int>(std::lround(twips / (t > 0 ? t : 15.0)));
}

int twipsToPixelsY(int twips)
{
    double t = services().windows->twipsPerPixelY();
    return static_cast<int>(std::lround(twips / (t > 0 ? t : 15.0)));
}

int pixelsToTwipsX(int pixels)
{
    double t = services().windows->twipsPerPixelX();
    return static_cast<int>(std::lround(pixels * (t > 0 ? t : 15.0)));
}

// Design sizes in twips.
constexpr int ClientWidth = 7095, ClientHeight = 6825, BarHeight = 420;
constexpr int ButtonWidth = 1095, ButtonHeight = 375, OkLeft = 4320, CancelLeft = 5520;

QSlider* slider(Qt::Orientation orientation, int limit, const char* name, QWidget* parent)
{
    auto* s = new QSlider(orientation, parent);
    s->setObjectName(name);
    s->setRange(-limit, limit);
    s->setSingleStep(placement::SmallStep);
    s->setPageStep(placement::LargeStep);
    return s;
}

QLineEdit* valueBox(const char* name, QWidget* parent)
{
    auto* t = new QLineEdit(parent);
    t->setObjectName(name);
    t->setReadOnly(true);
    t->setFocusPolicy(Qt::NoFocus);
    t->setMaximumWidth(70);
    return t;
}
} // namespace

frmProperties* frmProperties::instance()
{
    if (!g_instance) {
        g_instance = new frmProperties;
        g_instance->Form_Load();
    }
    return g_instance;
}

frmProperties* frmProperties::loaded()
{
    return g_instance;
}

frmProperties::frmProperties(QWidget* parent) : QDialog(parent)
{
    setObjectName("frmProperties");
    setWindowTitle("Properties");
    // Only the strip decides when the program ends.
    setAttribute(Qt::WA_QuitOnClose, false);
    setModal(false);

    tabProperties = new QTabBar(this);
    tabProperties->setObjectName("tabProperties");
    tabProperties->setExpanding(false);
    for (auto [caption, key] :
         {std::pair{"Icons", "Icons"}, {"Placement", "Placement"}, {"File Types", "FileTypes"}})
        tabProperties->setTabData(tabProperties->addTab(caption), QString(key));

    picIcons = buildIconsPage();
    picAlignment = buildPlacementPage();
    picFileTypes = buildFileTypesPage();
    // The tab strip's pane: the tabs sit on its top edge and the pages inside it.
    tabPane = new QFrame(this);
    tabPane->setFrameShape(QFrame::StyledPanel);
    tabPane->lower();
    for (QWidget* page : {picIcons, picAlignment, picFileTypes})
        page->setParent(this);

    Toolbar1 = new QWidget(this);
    Toolbar1->setObjectName("Toolbar1");
    cmdOK = new QPushButton("OK", Toolbar1);
    cmdOK->setObjectName("cmdOK");
    cmdCancel = new QPushButton("Cancel", Toolbar1);
    cmdCancel->setObjectName("cmdCancel");
    setFixedSize(twipsToPixelsX(ClientWidth), twipsToPixelsY(ClientHeight));

    connect(tabProperties, &QTabBar::currentChanged, this, &frmProperties::tabProperties_Click);
    connect(cmdOK, &QPushButton::clicked, this, &frmProperties::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmProperties::cmdCancel_Click);
}

frmProperties::~frmProperties()
{
    if (g_instance == this)
        g_instance = nullptr;
}

QWidget* frmProperties::buildIconsPage()
{
    auto* page = new QWidget(this);
    page->setObjectName("picIcons");

    Frame1 = new QGroupBox("Select Image To  Use", page);
    Frame1->setObjectName("Frame1");
    auto* grid = new QGridLayout(Frame1);
    grid->setHorizontalSpacing(2); // eight choices to a row fit the page's width
    auto* group = new QButtonGroup(Frame1);
    Frame3 = new QGroupBox("Select Image To  Use", page);
    Frame3->setObjectName("Frame3");
    Frame3->setVisible(false);
    auto* defaults = new QButtonGroup(Frame3);
    for (int i = 0; i < ImageCount; ++i) {
        auto* b = new QRadioButton(Frame1);
        b->setObjectName(QStringLiteral("optImageToUse%1").arg(i));
        b->setIconSize(QSize(IconPixels, IconPixels));
        b->installEventFilter(this);
        group->addButton(b, i);
        grid->addWidget(b, i / 8, i % 8);
        optImageToUse[static_cast<std::size_t>(i)] = b;

        auto* d = new QRadioButton(Frame3);
        d->setObjectName(QStringLiteral("optImageToUseDefault%1").arg(i));
        d->setIcon(IconSet::icon(i));
        defaults->addButton(d, i);
        optImageToUseDefault[static_cast<std::size_t>(i)] = d;
    }

    cmdChangeIcon = new QPushButton("Change Icon", page);
    cmdChangeIcon->setObjectName("cmdChangeIcon");
    cmdChangeIcon->setToolTip("This will set the selected icon to an icon that you choose");
    cmdIconToDefault = new QPushButton("Default Icon", page);
    cmdIconToDefault->setObjectName("cmdIconToDefault");
    cmdIconToDefault->setToolTip("This will restore the selected icon to is default image");
    chkRandomSelectStartUp = new QCheckBox("Randomly select program icon at startup", page);
    chkRandomSelectStartUp->setObjectName("chkRandomSelectStartUp");
    chkRandomChangeWhileRunning = new QCheckBox("Randomly change program icon while running", page);
    chkRandomChangeWhileRunning->setObjectName("chkRandomChangeWhileRunning");
    chkChangeIconAfterFile =
        new QCheckBox("If playing files, only change icon between songs", page);
    chkChangeIconAfterFile->setObjectName("chkChangeIconAfterFile");

    mnuPopUp = new QMenu("PopUp", this);
    mnuPopUp->setObjectName("mnuPopUp");
    mnuChangeImage = mnuPopUp->addAction("&Change Image");
    mnuChangeImage->setObjectName("mnuChangeImage");
    mnuResetToDefault = mnuPopUp->addAction("&Reset To Default");
    mnuResetToDefault->setObjectName("mnuResetToDefault");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdChangeIcon);
    buttons->addWidget(cmdIconToDefault);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0); // the page is inset in the tab strip already
    layout->addWidget(Frame1);
    layout->addLayout(buttons);
    layout->addWidget(chkRandomSelectStartUp);
    layout->addWidget(chkRandomChangeWhileRunning);
    layout->addWidget(chkChangeIconAfterFile);
    layout->addStretch();

    connect(cmdChangeIcon, &QPushButton::clicked, this, &frmProperties::cmdChangeIcon_Click);
    connect(cmdIconToDefault, &QPushButton::clicked, this, &frmProperties::cmdIconToDefault_Click);
    connect(mnuChangeImage, &QAction::triggered, this, &frmProperties::mnuChangeImage_Click);
    connect(mnuResetToDefault, &QAction::triggered, this, &frmProperties::mnuResetToDefault_Click);
    connect(chkRandomChangeWhileRunning, &QCheckBox::clicked, this,
            &frmProperties::chkRandomChangeWhileRunning_Click);
    return page;
}

QWidget* frmProperties::buildPlacementPage()
{
    auto* page = new QWidget(this);
    page->setObjectName("picAlignment");

    Frame4 = new QGroupBox("Horizontal Adjustment", page);
    Frame4->setObjectName("Frame4");
    Label18 = new QLabel("Coarse", Frame4);
    Label18->setObjectName("Label18");
    Label19 = new QLabel("Fine", Frame4);
    Label19->setObjectName("Label19");
    sliderProgramPlacementHorzCoarse =
        slider(Qt::Horizontal, placement::CoarseLimit, "sliderProgramPlacementHorzCoarse", Frame4);
    sliderProgramPlacementHorz =
        slider(Qt::Horizontal, placement::FineLimit, "sliderProgramPlacementHorz", Frame4);
    txtProgramPlacementHorzCoarse = valueBox("txtProgramPlacementHorzCoarse", Frame4);
    txtProgramPlacementHorz = valueBox("txtProgramPlacementHorz", Frame4);
    // Named for a screen reader by what they move; each box reads out its slider.
    sliderProgramPlacementHorzCoarse->setAccessibleName(QStringLiteral("Coarse left/right"));
    sliderProgramPlacementHorz->setAccessibleName(QStringLiteral("Fine left/right"));
    txtProgramPlacementHorzCoarse->setAccessibleName(QStringLiteral("Coarse left/right value"));
    txtProgramPlacementHorz->setAccessibleName(QStringLiteral("Fine left/right value"));
    Label18->setBuddy(sliderProgramPlacementHorzCoarse);
    Label19->setBuddy(sliderProgramPlacementHorz);
    auto* horizontal = new QGridLayout(Frame4);
    horizontal->addWidget(Label18, 0, 0);
    horizontal->addWidget(sliderProgramPlacementHorzCoarse, 0, 1);
    horizontal->addWidget(txtProgramPlacementHorzCoarse, 0, 2);
    horizontal->addWidget(Label19, 1, 0);
    horizontal->addWidget(sliderProgramPlacementHorz, 1, 1);
    horizontal->addWidget(txtProgramPlacementHorz, 1, 2);

    Frame2 = new QGroupBox("Vertical Adjustment", page);
    Frame2->setObjectName("Frame2");
    sliderProgramPlacementVert =
        slider(Qt::Vertical, placement::FineLimit, "sliderProgramPlacementVert", Frame2);
    // Up on the screen is a smaller top: the slider's top end is its minimum.
    sliderProgramPlacementVert->setInvertedAppearance(true);
    sliderProgramPlacementVert->setMinimumHeight(120);
    txtProgramPlacementVert = valueBox("txtProgramPlacementVert", Frame2);
    sliderProgramPlacementVert->setAccessibleName(QStringLiteral("Up/down"));
    txtProgramPlacementVert->setAccessibleName(QStringLiteral("Up/down value"));
    auto* vertical = new QHBoxLayout(Frame2);
    vertical->addWidget(sliderProgramPlacementVert);
    vertical->addWidget(txtProgramPlacementVert);
    vertical->addStretch();

    Label1 = new QLabel("These controls adjust the program up/down and left/right in the caption "
                        "area. Move the sliders to position the program in the caption area.  "
                        "Changes will not take effect until you click the OK button.",
                        page);
    Label1->setObjectName("Label1");
    Label1->setWordWrap(true);

    auto* layout = new QVBoxLayout(page);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Frame4);
    layout->addWidget(Frame2);
    layout->addWidget(Label1);
    layout->addStretch();

    const std::pair<QSlider*, QLineEdit*> pairs[] = {
        {sliderProgramPlacementHorzCoarse, txtProgramPlacementHorzCoarse},
        {sliderProgramPlacementHorz, txtProgramPlacementHorz},
        {sliderProgramPlacementVert, txtProgramPlacementVert}};
    for (const auto& pair : pairs) {
        QLineEdit* t = pair.second;
        t->setText("0");
        connect(pair.first, &QSlider::valueChanged, t,
                [t](int v) { t->setText(QString::number(v)); });
    }
    return page;
}

QWidget* frmProperties::buildFileTypesPage()
{
    auto* page = new QWidget(this);
    page->setObjectName("picFileTypes");
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(1);
    int column = 0;
    for (const char* heading :
         {"Type of File", "Current Default Application", "Original Default Application"}) {
        auto* h = new QLabel(heading, page);
        QFont bold = h->font();
        bold.setBold(true);
        h->setFont(bold);
        h->setWordWrap(true);
        grid->addWidget(h, 0, column++);
    }
    const char* tip = "Click on this button to set the default application for this file type "
                      "to Quavix";
    for (int i = 0; i < FileTypeCount; ++i) {
        const FileType& type = fileTypes()[static_cast<std::size_t>(i)];
        const std::size_t k = static_cast<std::size_t>(i);
        const QString name = QString::fromLatin1(type.name);
        grid->addWidget(new QLabel(type.caption, page), i + 1, 0);
        lblCurrent[k] = new QLabel(page);
        lblCurrent[k]->setObjectName("lblCurrent" + name);
        lblOriginal[k] = new QLabel(page);
        lblOriginal[k]->setObjectName("lblOriginal" + name);
        cmdSet[k] = new QPushButton("Set", page);
        cmdSet[k]->setObjectName("cmd" + name + "Set");
        cmdReset[k] = new QPushButton("Reset", page);
        cmdReset[k]->setObjectName("cmd" + name + "Reset");
        cmdSet[k]->setAccessibleName(QStringLiteral("Set ") + type.caption);
        cmdReset[k]->setAccessibleName(QStringLiteral("Reset ") + type.caption);
        for (QPushButton* b : {cmdSet[k], cmdReset[k]}) {
            b->setFixedWidth(b->fontMetrics().horizontalAdvance(QStringLiteral("Reset")) + 16);
            b->setToolTip(tip);
            b->setAutoDefault(false);
        }
        grid->addWidget(lblCurrent[k], i + 1, 1);
        grid->addWidget(lblOriginal[k], i + 1, 2);
        grid->addWidget(cmdSet[k], i + 1, 3);
        grid->addWidget(cmdReset[k], i + 1, 4);
        connect(cmdSet[k], &QPushButton::clicked, this, [this, i] { cmdSet_Click(i); });
        connect(cmdReset[k], &QPushButton::clicked, this, [this, i] { cmdReset_Click(i); });
    }
    auto* note = new QLabel(
        "All changes made with the set and reset buttons take effect immediately.", page);
    note->setWordWrap(true);
    grid->addWidget(note, FileTypeCount + 1, 0, 1, 5);
    grid->setRowStretch(FileTypeCount + 2, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    return page;
}

void frmProperties::layOut()
{
    const int barHeight = twipsToPixelsY(BarHeight);
    const int barTop = height() - barHeight;
    Toolbar1->setGeometry(0, barTop, width(), barHeight);
    const int buttonTop = (barHeight - twipsToPixelsY(ButtonHeight)) / 2;
    cmdOK->setGeometry(twipsToPixelsX(OkLeft), buttonTop, twipsToPixelsX(ButtonWidth),
                       twipsToPixelsY(ButtonHeight));
    cmdCancel->setGeometry(twipsToPixelsX(CancelLeft), buttonTop, twipsToPixelsX(ButtonWidth),
                           twipsToPixelsY(ButtonHeight));

    // The tab strip from the dialog's outer width, frame included; the pages inside it.
    const int left = twipsToPixelsX(20), top = twipsToPixelsY(20);
    const int outerWidth = pixelsToTwipsX(frameGeometry().width());
    const int stripWidth = std::max(0, twipsToPixelsX(outerWidth - 120));
    const int stripHeight = std::max(0, barTop - twipsToPixelsY(120));
    const int tabsHeight = std::min(stripHeight, tabProperties->sizeHint().height());
    tabProperties->setGeometry(left, top, stripWidth, tabsHeight);
    tabPane->setGeometry(left, top + tabsHeight, stripWidth, stripHeight - tabsHeight);
    const QRect page(left + twipsToPixelsX(120), top + twipsToPixelsY(420),
                     std::max(0, stripWidth - twipsToPixelsX(240)),
                     std::max(0, stripHeight - twipsToPixelsY(560)));
    for (QWidget* p : {picIcons, picAlignment, picFileTypes})
        p->setGeometry(page);
}

void frmProperties::showEvent(QShowEvent* event)
{
    // The frame, and so the outer width the tab strip is measured from, is known only once
    // the window is on the screen.
    layOut();
    QDialog::showEvent(event);
}

QIcon frmProperties::picture(int i) const
{
    if (i < 0 || i >= ImageCount)
        return {};
    return optImageToUse[static_cast<std::size_t>(i)]->icon();
}

void frmProperties::Form_Load()
{
    layOut();
    const Globals& g = globals();
    const placement::Horizontal h = placement::splitHorizontal(g.gAdjustFontLeftRight);
    sliderProgramPlacementHorz->setValue(h.fine);
    sliderProgramPlacementHorzCoarse->setValue(h.coarse);
    sliderProgramPlacementVert->setValue(placement::vertical(g.gAdjustFontUpDown));

    OptionsStore& store = *services().options;
    const int index = optionInt16(Options, "ImageIndex", 0);
    if (index >= 0 && index < ImageCount)
        optImageToUse[static_cast<std::size_t>(index)]->setChecked(true);

    chkRandomSelectStartUp->setChecked(optionChecked(Options, "RandomSelectIconAtStartup"));
    chkRandomChangeWhileRunning->setChecked(optionChecked(Options, "RandomSelectIconWhileRunning"));
    chkChangeIconAfterFile->setChecked(optionChecked(Options, "ChangeIconAfterFile"));
    chkRandomChangeWhileRunning_Click();

    for (int i = 0; i < ImageCount; ++i) {
        optImageToUse[static_cast<std::size_t>(i)]->setIcon(IconSet::chosenIcon(i, store));
        const std::string own = store.get(ProgramTitle, "Icons", std::to_string(i), NoAssociation);
        nameChoice(i, own != NoAssociation && std::filesystem::exists(own));
    }

    m_associations = std::make_unique<FileAssociations>(*services().classes, store);
    m_associations->load();
    showRows();

    tabProperties->setCurrentIndex(0);
    tabProperties_Click();
}

void frmProperties::tabProperties_Click()
{
    const QString caption = tabProperties->tabText(tabProperties->currentIndex());
    QWidget* shown = caption == "Icons"        ? picIcons
                     : caption == "Placement"  ? picAlignment
                     : caption == "File Types" ? picFileTypes
                                               : nullptr;
    if (!shown)
        return;
    for (QWidget* page : {picIcons, picAlignment, picFileTypes})
        page->setVisible(page == shown);
}

void frmProperties::optImageToUse_MouseDown(int index, Qt::MouseButton button, QPoint globalPos)
{
    if (button != Qt::RightButton)
        return;
    mi_SelectedImage = static_cast<std::int16_t>(index);
    mnuPopUp->popup(globalPos);
}

void frmProperties::selectedChoiceToMember()
{
    for (int i = 0; i < ImageCount; ++i)
        if (optImageToUse[static_cast<std::size_t>(i)]->isChecked()) {
            mi_SelectedImage = static_cast<std::int16_t>(i);
            return;
        }
}

void frmProperties::cmdChangeIcon_Click()
{
    selectedChoiceToMember();
    mnuChangeImage_Click();
}

void frmProperties::cmdIconToDefault_Click()
{
    selectedChoiceToMember();
    mnuResetToDefault_Click();
}

void frmProperties::mnuChangeImage_Click()
{
    const int i = mi_SelectedImage;
    if (i < 0 || i >= ImageCount)
        return;
    QRadioButton* choice = optImageToUse[static_cast<std::size_t>(i)];
    const QIcon builtIn = optImageToUseDefault[static_cast<std::size_t>(i)]->icon();
    FileDialogRequest request;
    request.title = "Open";
    request.filter = "All Files (*.*)|*.*|Icon Files|*.ico";
    request.filterIndex = 2;
    request.mustExist = true;
    const std::optional<std::string> path = commonDialog::show(commonDialog::Kind::Open, request);
    QIcon chosen = path ? IconSet::loadPicture(qs(*path)) : QIcon();
    if (!IconSet::usableAsWindowIcon(chosen)) {
        choice->setIcon(builtIn);
        nameChoice(i, false);
        return;
    }
    choice->setIcon(chosen);
    nameChoice(i, true);
    QPointer<frmProperties> self(this);
    processEventsOnce();
    if (!self)
        return;
    saveOption("Icons", std::to_string(i), *path);
}

void frmProperties::mnuResetToDefault_Click()
{
    const int i = mi_SelectedImage;
    if (i < 0 || i >= ImageCount)
        return;
    optImageToUse[static_cast<std::size_t>(i)]->setIcon(
        optImageToUseDefault[static_cast<std::size_t>(i)]->icon());
    nameChoice(i, false);
    saveOption("Icons", std::to_string(i), NoAssociation);
}

void frmProperties::nameChoice(int i, bool ownPicture)
{
    // The pictures have no words: a screen reader hears the choice's number.
    QString name = QStringLiteral("Icon %1").arg(i + 1);
    if (ownPicture)
        name += QStringLiteral(", own picture");
    optImageToUse[static_cast<std::size_t>(i)]->setAccessibleName(name);
}

void frmProperties::chkRandomChangeWhileRunning_Click()
{
    chkChangeIconAfterFile->setEnabled(chkRandomChangeWhileRunning->isChecked());
}

void frmProperties::cmdOK_Click()
{
    Services& s = services();
    if (s.dialogs->messageBox("Change Image", "Are you sure you want to save the changes?",
                              MsgIcon::Question, MsgButtons::YesNo) != MsgAnswer::Yes)
        return;
    QPointer<frmProperties> self(this);
    for (int i = 0; i < ImageCount; ++i) {
        if (!optImageToUse[static_cast<std::size_t>(i)]->isChecked())
            continue;
        const QIcon icon = picture(i);
        if (!IconSet::usableAsWindowIcon(icon)) {
            reportImageError();
            return;
        }
        if (PropertiesHost* h = host())
            h->applyProgramIcon(icon, i);
        saveOptionInt(Options, "ImageIndex", i);
        processEventsOnce();
        if (!self)
            return;
        if (PropertiesHost* h = host())
            h->refreshTrayIcon();
        break;
    }

    enableTimer1();
    Globals& g = globals();
    g.gAdjustFontUpDown = sliderProgramPlacementVert->value();
    g.gAdjustFontLeftRight = placement::combined(
        {sliderProgramPlacementHorzCoarse->value(), sliderProgramPlacementHorz->value()});
    g.gRandomIconWhileRunning = chkRandomChangeWhileRunning->isChecked();
    g.gChangeIconAfterFile = chkChangeIconAfterFile->isChecked();

    saveOptionInt(Options, "AdjustForScreenFontSizeUpDown", g.gAdjustFontUpDown);
    saveOptionInt(Options, "AdjustForScreenFontSizeLeftRight", g.gAdjustFontLeftRight);
    saveOptionInt(Options, "AdjustIconUpDown", g.gAdjustIconUpDown);
    saveOptionInt(Options, "AdjustIconLeftRight", g.gAdjustIconLeftRight);
    auto box = [](QCheckBox* c) { return std::string(c->isChecked() ? "1" : "0"); };
    saveOption(Options, "RandomSelectIconAtStartup", box(chkRandomSelectStartUp));
    saveOption(Options, "RandomSelectIconWhileRunning", box(chkRandomChangeWhileRunning));
    saveOption(Options, "ChangeIconAfterFile", box(chkChangeIconAfterFile));

    if (PropertiesHost* h = host()) {
        h->applyPlacement();
        h->setUpIconTimer();
    }
    unload();
}

void frmProperties::cmdCancel_Click()
{
    enableTimer1();
    unload();
}

void frmProperties::showRows()
{
    for (int i = 0; i < FileTypeCount; ++i) {
        const std::size_t k = static_cast<std::size_t>(i);
        lblOriginal[k]->setText(qs(m_associations->originalText(i)));
        lblOriginal_Change(i);
        lblCurrent[k]->setText(qs(m_associations->currentText(i)));
    }
}

void frmProperties::lblOriginal_Change(int row)
{
    const bool set = m_associations->setUsable(row);
    cmdSet[static_cast<std::size_t>(row)]->setEnabled(set);
    cmdReset[static_cast<std::size_t>(row)]->setEnabled(!set);
}

void frmProperties::cmdSet_Click(int row)
{
    showOutcome(row, m_associations->fSetAssociation(row));
}

void frmProperties::cmdReset_Click(int row)
{
    showOutcome(row, m_associations->fResetAssociation(row));
}

void frmProperties::showOutcome(int row, const AssociationOutcome& outcome)
{
    if (outcome.ok) {
        showRows();
        return;
    }
    services().dialogs->messageBox(
        "File Types",
        std::string("The file type ") + fileTypes()[static_cast<std::size_t>(row)].extension +
            " was not changed: " + outcome.file + " could not be written." + CrLf + CrLf +
            "Check that the file and its folder can be written, then try again.",
        MsgIcon::Exclamation, MsgButtons::Ok);
}

void frmProperties::reject()
{
    cmdCancel_Click();
}

void frmProperties::unload()
{
    if (g_instance == this)
        g_instance = nullptr;
    hide();
    deleteLater();
}

void frmProperties::closeEvent(QCloseEvent* event)
{
    // Closed from its title bar: as Cancel, so that the strip's placement timer runs again.
    event->accept();
    cmdCancel_Click();
}

bool frmProperties::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonPress) {
        for (int i = 0; i < ImageCount; ++i)
            if (watched == optImageToUse[static_cast<std::size_t>(i)]) {
                auto* mouse = static_cast<QMouseEvent*>(event);
                if (mouse->button() != Qt::RightButton)
                    break;
                optImageToUse_MouseDown(i, mouse->button(), mouse->globalPosition().toPoint());
                return true;
            }
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace quavix
