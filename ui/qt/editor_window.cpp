// The entry editor window in Qt Widgets. Setters block the controls' signals, so only
// what the user does reaches the presenter; the presenter itself runs the handlers that a
// change made by the program must run.
#include "ui/qt/editor_window.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionFrame>
#include <QTextOption>
#include <QVBoxLayout>
#include <limits>
#include <vector>

#include "settings/source_kind.h"
#include "ui/editor.h"
#include "ui/editor_texts.h"
#include "ui/qt/address_source.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/twips.h"

namespace vexal {
namespace {

// An option button whose caption keeps a run of blanks where other controls sit, so the
// line reads as one sentence: "[txNo][scNo]番目のファイルを選択する". The first control
// in the blank takes what the others leave of it.
class BlankSlotRow final : public QWidget {
public:
    BlankSlotRow(QRadioButton* button, const QString& lead, int blanks, std::vector<QWidget*> inBlank,
                 QWidget* parent)
        : QWidget(parent), button_(button), lead_(lead), blanks_(blanks), inBlank_(std::move(inBlank)) {
        button_->setParent(this);
        for (QWidget* w : inBlank_) {
            w->setParent(this);
            w->raise();
        }
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }

    QSize sizeHint() const override {
        QSize size = button_->sizeHint();
        for (QWidget* w : inBlank_) size.setHeight(std::max(size.height(), Wanted(w).height()));
        return size;
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void resizeEvent(QResizeEvent*) override { Arrange(); }

private:
    // A control's preferred size within the limits it was given (the spin is fixed).
    static QSize Wanted(const QWidget* w) { return w->sizeHint().boundedTo(w->maximumSize()); }

    void Arrange() {
        button_->setGeometry(rect());
        QStyleOptionButton option;
        option.initFrom(button_);
        option.text = button_->text();
        const QRect contents =
            button_->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, button_);
        const QFontMetrics metrics = button_->fontMetrics();
        int x = contents.left() + metrics.horizontalAdvance(lead_);
        const int blank = metrics.horizontalAdvance(QString(blanks_, QChar(0x3000)));
        int fixed = 0;
        for (std::size_t i = 1; i < inBlank_.size(); ++i) fixed += Wanted(inBlank_[i]).width();
        for (std::size_t i = 0; i < inBlank_.size(); ++i) {
            QWidget* w = inBlank_[i];
            const int width = i == 0 ? std::max(blank - fixed - 2, 16) : Wanted(w).width();
            const int height = std::min(Wanted(w).height(), this->height());
            w->setGeometry(x, (this->height() - height) / 2, width, height);
            x += width;
        }
    }

    QRadioButton* button_;
    QString lead_;
    int blanks_;
    std::vector<QWidget*> inBlank_;
};

QString Q(const char* text) { return QString::fromUtf8(text); }

// The comment box, whose frame stays whole at fractional scales. At 150 % the style's
// frame line of a scroll area lands on half a device pixel: at one position it is drawn
// just outside the box and clipped away (top, left), at another the text area, a child that
// paints its own background and rounds outward, covers it (bottom). The box draws the
// panel of a one-line text box instead, which the style keeps inside the box, and the text
// area draws only the text over it.
class CommentBox final : public QPlainTextEdit {
public:
    explicit CommentBox(QWidget* parent) : QPlainTextEdit(parent) {
        viewport()->setAutoFillBackground(false);
        // Where the two scroll bars meet, the panel's white would show through: the corner
        // takes the scroll bars' own background, as in any other scrolled box.
        auto* corner = new QWidget(this);
        corner->setBackgroundRole(QPalette::Window);
        corner->setAutoFillBackground(true);
        setCornerWidget(corner);
    }

protected:
    bool event(QEvent* event) override {
        if (event->type() != QEvent::Paint) return QPlainTextEdit::event(event);
        QPainter painter(this);
        QStyleOptionFrame option;
        option.initFrom(this);
        // Like the frame it replaces, it does not light up with the focus (the caret shows it).
        option.state &= ~QStyle::State_HasFocus;
        option.state |= QStyle::State_Sunken;
        option.lineWidth = frameWidth();
        style()->drawPrimitive(QStyle::PE_PanelLineEdit, &option, &painter, this);
        return true;
    }
};

// The action a drop is taken with: the source is only named, never moved, so a file
// manager that proposes a move must not delete the original.
Qt::DropAction ReferenceAction(const QDropEvent& event) {
    return event.possibleActions() & Qt::LinkAction ? Qt::LinkAction : Qt::CopyAction;
}

// Windows text boxes hold CR LF line breaks, and the stored comment keeps them; Qt's
// plain text editor works with LF alone.
QString ToEditorLines(const std::string& text) {
    QString q = ToQString(text);
    q.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    q.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return q;
}

// A line edit cuts its text at 32,767 characters by default, and a field cut on its way
// through the window would be saved cut. The settings file sets no limit, so neither does
// the window.
void AcceptAnyLength(QLineEdit* edit) { edit->setMaxLength(std::numeric_limits<int>::max()); }

std::string FromEditorLines(const QString& text) {
    QString q = text;
    q.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return ToUtf8(q);
}

}  // namespace

QtEditorWindow::QtEditorWindow(Language language, QWidget* parent)
    : QWidget(parent), texts_(EditorTextsIn(language)) {
    setObjectName("frOpt");
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    QHBoxLayout* top = MakeListRow();
    MakeEditingArea();
    QHBoxLayout* bottom = MakeCommandRow();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(Frame1);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    OrderTabs();

    setAcceptDrops(true);
    for (QWidget* box : {static_cast<QWidget*>(txComment->viewport()), static_cast<QWidget*>(txNo),
                         static_cast<QWidget*>(txFnAdd), static_cast<QWidget*>(txMinWidth)})
        box->installEventFilter(this);
    connect(cbBrowseFile, &QPushButton::clicked, this, &QtEditorWindow::BrowseFile);
    connect(cbBrowseFolder, &QPushButton::clicked, this, &QtEditorWindow::BrowseFolder);
}

// The row of the list and the two list commands.
QHBoxLayout* QtEditorWindow::MakeListRow() {
    cbSelect = new QComboBox(this);
    cbSelect->setEditable(false);
    cbSelect->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbSelect->setMinimumContentsLength(24);
    cbTouroku = new QPushButton(Q(texts_.cbTouroku), this);
    cbDelete = new QPushButton(Q(texts_.cbDelete), this);
    auto* top = new QHBoxLayout;
    top->addWidget(cbSelect, 1);
    top->addWidget(cbTouroku);
    top->addWidget(cbDelete);
    return top;
}

// The editing area: the source, the groups of options beside and below each other, and
// the comment.
void QtEditorWindow::MakeEditingArea() {
    Frame1 = new QGroupBox(this);
    Label1 = new QLabel(Q(texts_.Label1), Frame1);
    txUrl = new QLineEdit(Frame1);
    Label1->setBuddy(txUrl);
    AcceptAnyLength(txUrl);
    // A drop over the field replaces the whole address, as a drop anywhere else does,
    // instead of inserting a URL's text where the cursor happens to be.
    txUrl->setAcceptDrops(false);
    cbBrowseFile = new QPushButton(Q(texts_.cbBrowseFile), Frame1);
    cbBrowseFile->setToolTip(Q(texts_.cbBrowseFileTip));
    cbBrowseFolder = new QPushButton(Q(texts_.cbBrowseFolder), Frame1);
    cbBrowseFolder->setToolTip(Q(texts_.cbBrowseFolderTip));
    auto* source = new QHBoxLayout;
    source->addWidget(txUrl, 1);
    source->addWidget(cbBrowseFile);
    source->addWidget(cbBrowseFolder);

    MakeFlagGroups();
    MakeChoiceGroup();

    Label2 = new QLabel(Q(texts_.Label2), Frame1);
    txComment = new CommentBox(Frame1);
    txComment->setTabChangesFocus(true);
    // Breaking at a word or, failing one, anywhere (Qt's default) searches the rest of the
    // paragraph for a word boundary at every line, so a long comment without blanks (a
    // pasted list of addresses, 200 kB of them) took seconds to show whenever its entry was
    // chosen. Breaking only at words lays it out in one pass; Japanese breaks between any
    // two characters anyway, and a single endless word scrolls sideways instead.
    txComment->setWordWrapMode(QTextOption::WordWrap);
    Label2->setBuddy(txComment);
    txComment->setFixedHeight(txComment->fontMetrics().lineSpacing() * 4 + 12);

    auto* groups = new QGridLayout;
    groups->addWidget(Frame3, 0, 0, 2, 1);
    groups->addWidget(Frame2, 0, 1);
    groups->addWidget(Frame5, 0, 2);
    groups->addWidget(Frame4, 1, 1, 1, 2);
    groups->setColumnStretch(2, 1);

    auto* editing = new QVBoxLayout(Frame1);
    editing->addWidget(Label1);
    editing->addLayout(source);
    editing->addLayout(groups);
    editing->addWidget(Label2);
    editing->addWidget(txComment);
    editing->addLayout(MakeScheduleRow());
}

// When the system runs the entry by itself, and how its last such run went.
QHBoxLayout* QtEditorWindow::MakeScheduleRow() {
    lbSchedule = new QLabel(Q(texts_.lbSchedule), Frame1);
    cbSchedule = new QComboBox(Frame1);
    for (const char* item : texts_.cbSchedule) cbSchedule->addItem(Q(item));
    cbSchedule->setToolTip(Q(texts_.cbScheduleTip));
    lbSchedule->setBuddy(cbSchedule);
    lbLastRun = new QLabel(Frame1);
    lbLastRun->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long message (a path, a server's words) must not widen the window: the line takes
    // what the row leaves and wraps there, so the whole message shows (its tool tip holds
    // it too); the window grows downwards by the lines it needs.
    lbLastRun->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    lbLastRun->setWordWrap(true);
    auto* row = new QHBoxLayout;
    row->addWidget(lbSchedule);
    row->addWidget(cbSchedule);
    row->addSpacing(lbSchedule->fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 2);
    row->addWidget(lbLastRun, 1);
    return row;
}

// The three groups of flags: the link rules, the picture kinds and the style.
void QtEditorWindow::MakeFlagGroups() {
    Frame3 = new QGroupBox(Q(texts_.Frame3), Frame1);
    auto* rules = new QVBoxLayout(Frame3);
    for (int i = 0; i < 7; ++i) {
        ckFilter[i] = new QCheckBox(Q(texts_.ckFilter[i]), Frame3);
        ckFilter[i]->setToolTip(Q(texts_.ckFilterTip[i]));
        rules->addWidget(ckFilter[i]);
    }
    rules->addStretch(1);

    Frame2 = new QGroupBox(Q(texts_.Frame2), Frame1);
    auto* exts = new QVBoxLayout(Frame2);
    for (int i = 0; i < 5; ++i) {
        ckExt[i] = new QCheckBox(Q(texts_.ckExt[i]), Frame2);
        exts->addWidget(ckExt[i]);
    }
    exts->addStretch(1);

    Frame5 = new QGroupBox(Q(texts_.Frame5), Frame1);
    auto* styles = new QVBoxLayout(Frame5);
    wpGroup_ = new QButtonGroup(this);
    for (int i = 0; i < static_cast<int>(opWp.size()); ++i) {
        opWp[i] = new QRadioButton(Q(texts_.opWp[i]), Frame5);
        wpGroup_->addButton(opWp[i], i);
        styles->addWidget(opWp[i]);
    }
    ckEachScreen = new QCheckBox(Q(texts_.ckEachScreen), Frame5);
    ckEachScreen->setToolTip(Q(texts_.ckEachScreenTip));
    ckExt[4]->setToolTip(Q(texts_.ckExtNewerTip));
    styles->addWidget(ckEachScreen);
    ckBackColour = new QCheckBox(Q(texts_.ckBackColour), Frame5);
    ckBackColour->setToolTip(Q(texts_.ckBackColourTip));
    cbBackColour = new QPushButton(Q(texts_.cbBackColour), Frame5);
    cbBackColour->setToolTip(Q(texts_.ckBackColourTip));
    auto* colour = new QHBoxLayout;
    colour->addWidget(ckBackColour);
    colour->addWidget(cbBackColour);
    colour->addStretch(1);
    styles->addLayout(colour);
    styles->addStretch(1);
}

// The choice of the candidate: three options, the first two with their boxes standing in
// the blanks of their captions.
void QtEditorWindow::MakeChoiceGroup() {
    Frame4 = new QGroupBox(Q(texts_.Frame4), Frame1);
    auto* choice = new QVBoxLayout(Frame4);
    noGroup_ = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        opNo[i] = new QRadioButton(Q(texts_.opNo[i]), Frame4);
        opNo[i]->setToolTip(Q(texts_.opNoTip[i]));
        noGroup_->addButton(opNo[i], i);
    }
    txNo = new QLineEdit(Frame4);
    txNo->setAlignment(Qt::AlignRight);
    AcceptAnyLength(txNo);
    // The spin: a vertical scroll bar resting at 0 between -1 and +1. Qt counts its up
    // arrow as -1; SpinPosition turns that round so the upper arrow increases the number.
    scNo = new QScrollBar(Qt::Vertical, Frame4);
    scNo->setRange(-1, 1);
    scNo->setSingleStep(1);
    scNo->setPageStep(1);
    scNo->setValue(0);
    scNo->setFixedWidth(style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, scNo));
    scNo->setFixedHeight(txNo->sizeHint().height());
    txFnAdd = new QLineEdit(Frame4);
    AcceptAnyLength(txFnAdd);
    choice->addWidget(
        new BlankSlotRow(opNo[0], Q(texts_.opNo0Lead), texts_.opNo0Blanks, {txNo, scNo}, Frame4));
    choice->addWidget(new BlankSlotRow(opNo[1], Q(texts_.opNo1Lead), texts_.opNo1Blanks, {txFnAdd}, Frame4));
    choice->addWidget(opNo[2]);

    // "幅 [N] ピクセル未満の画像は使わない", its caption starting where the options' captions do.
    lbMinWidthLead = new QLabel(Q(texts_.lbMinWidthLead), Frame4);
    txMinWidth = new QLineEdit(Frame4);
    txMinWidth->setAlignment(Qt::AlignRight);
    txMinWidth->setToolTip(Q(texts_.txMinWidthTip));
    AcceptAnyLength(txMinWidth);
    txMinWidth->setFixedWidth(txMinWidth->fontMetrics().horizontalAdvance(QStringLiteral("00000")) + 12);
    lbMinWidthLead->setBuddy(txMinWidth);
    lbMinWidthTail = new QLabel(Q(texts_.lbMinWidthTail), Frame4);
    QStyleOptionButton option;
    option.initFrom(opNo[2]);
    option.text = opNo[2]->text();
    const int indent =
        opNo[2]->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, opNo[2]).left();
    auto* minWidth = new QHBoxLayout;
    minWidth->setContentsMargins(indent, 0, 0, 0);
    minWidth->addWidget(lbMinWidthLead);
    minWidth->addWidget(txMinWidth);
    minWidth->addWidget(lbMinWidthTail);
    minWidth->addStretch(1);
    choice->addLayout(minWidth);
    choice->addStretch(1);
}

// The run commands.
QHBoxLayout* QtEditorWindow::MakeCommandRow() {
    cbPreview = new QPushButton(Q(texts_.cbPreview), this);
    cbSetWP = new QPushButton(Q(texts_.cbSetWP), this);
    cbEnd = new QPushButton(Q(texts_.cbEnd), this);
    lbSettingsFile = new QLabel(this);
    lbSettingsFile->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // A long path must not widen the window: it is cut at the right, and its tool tip
    // holds it whole.
    lbSettingsFile->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(lbSettingsFile, 1);
    bottom->addWidget(cbPreview);
    bottom->addWidget(cbSetWP);
    bottom->addWidget(cbEnd);
    return bottom;
}

// Tab order follows the reading order of the window.
void QtEditorWindow::OrderTabs() {
    QWidget* order[] = {cbSelect,     cbTouroku,    cbDelete,    txUrl,       cbBrowseFile, cbBrowseFolder,
                        ckFilter[0],  ckFilter[1],  ckFilter[2], ckFilter[3], ckFilter[4],  ckFilter[5],
                        ckFilter[6],  ckExt[0],     ckExt[1],    ckExt[2],    ckExt[3],     ckExt[4],
                        opWp[0],      opWp[1],      opWp[2],     opWp[3],     opWp[4],      ckEachScreen,
                        ckBackColour, cbBackColour, opNo[0],     txNo,        opNo[1],      txFnAdd,
                        opNo[2],      txMinWidth,   txComment,   cbSchedule,  cbPreview,    cbSetWP,
                        cbEnd};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void QtEditorWindow::Bind(EditorPresenter& presenter) {
    presenter_ = &presenter;
    // Every choice the user makes (from the open list, by keys or by the wheel) is an
    // activation, also the choice of the item already selected, which must run the
    // handler again; the program's own selections never reach here.
    connect(cbSelect, &QComboBox::activated, this, [this](int) { presenter_->cbSelect_Click(); });
    connect(txUrl, &QLineEdit::textEdited, this, [this](const QString&) { presenter_->txUrl_Change(); });
    connect(scNo, &QScrollBar::valueChanged, this, [this](int) { presenter_->scNo_Change(); });
    connect(cbTouroku, &QPushButton::clicked, this, [this] { presenter_->cbTouroku_Click(); });
    connect(cbDelete, &QPushButton::clicked, this, [this] { presenter_->cbDelete_Click(); });
    connect(cbPreview, &QPushButton::clicked, this, [this] { presenter_->cbPreview_Click(); });
    connect(cbSetWP, &QPushButton::clicked, this, [this] { presenter_->cbSetWP_Click(); });
    connect(cbEnd, &QPushButton::clicked, this, [this] { presenter_->cbEnd_Click(); });
    connect(cbBackColour, &QPushButton::clicked, this, [this] { presenter_->cbBackColour_Click(); });
}

void QtEditorWindow::closeEvent(QCloseEvent* event) {
    // The presenter may ask whether to save first, and the answer may be to stay.
    if (presenter_ && !presenter_->Form_Unload()) {
        event->ignore();
        return;
    }
    event->accept();
}

void QtEditorWindow::BrowseFile() {
    QFileDialog dialog(this, QString(), BrowseStartFolder(txUrl->text()));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    const QStringList filters = {Q(texts_.BrowsePictures), Q(texts_.BrowsePagesAndLists),
                                 Q(texts_.BrowseAllFiles)};
    dialog.setNameFilters(filters);
    // The field's own file is chosen again, under the filter of its kind.
    const QString current = txUrl->text();
    const SourceKind kind = ClassifySource(ToUtf8(current));
    if (kind == SourceKind::LocalFile && !current.isEmpty()) dialog.selectNameFilter(filters[1]);
    if ((kind == SourceKind::LocalFile || kind == SourceKind::LocalImage) && QFileInfo(current).isFile())
        dialog.selectFile(QFileInfo(current).absoluteFilePath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    FillSource(LocalSource(dialog.selectedFiles().constFirst()));
}

void QtEditorWindow::BrowseFolder() {
    // As QFileDialog::getExistingDirectory asks, from a dialog object a test can reach.
    QFileDialog dialog(this, QString(), BrowseStartFolder(txUrl->text()));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    FillSource(LocalSource(dialog.selectedFiles().constFirst()));
}

void QtEditorWindow::FillSource(const QString& source) {
    {
        const QSignalBlocker block(txUrl);
        // Replaced as an edit, so Ctrl+Z brings back the address that was there.
        txUrl->selectAll();
        txUrl->insert(source);
    }
    if (presenter_) presenter_->txUrl_Change();
}

void QtEditorWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (DroppedSource(*event->mimeData()).isEmpty()) return event->ignore();
    event->setDropAction(ReferenceAction(*event));
    event->accept();
}

void QtEditorWindow::dropEvent(QDropEvent* event) {
    const QString source = DroppedSource(*event->mimeData());
    if (source.isEmpty()) return event->ignore();
    event->setDropAction(ReferenceAction(*event));
    event->accept();
    FillSource(source);
}

bool QtEditorWindow::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop) {
        auto* drop = static_cast<QDropEvent*>(event);
        // Text goes into the box; a file or link goes to the address.
        if (drop->mimeData()->hasUrls() && !DroppedSource(*drop->mimeData()).isEmpty()) {
            if (type == QEvent::Drop) {
                dropEvent(drop);
            } else {
                drop->setDropAction(ReferenceAction(*drop));
                drop->accept();
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void QtEditorWindow::SetCaption(const std::string& text) { setWindowTitle(ToQString(text)); }

void QtEditorWindow::ShowWindow() {
    if (!centred_) {
        centred_ = true;
        adjustSize();
        CentreOnScreen(this);
    }
    // Brought forward by a later start, a minimised editor comes back as it was.
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void QtEditorWindow::HideWindow() { hide(); }

std::string QtEditorWindow::Text(EditorControl box) const {
    switch (box) {
        case EditorControl::txUrl:
            return ToUtf8(txUrl->text());
        case EditorControl::txComment:
            return FromEditorLines(txComment->toPlainText());
        case EditorControl::txNo:
            return ToUtf8(txNo->text());
        case EditorControl::txFnAdd:
            return ToUtf8(txFnAdd->text());
        case EditorControl::txMinWidth:
            return ToUtf8(txMinWidth->text());
        default:
            return {};
    }
}

void QtEditorWindow::SetText(EditorControl box, const std::string& text) {
    switch (box) {
        case EditorControl::txUrl: {
            const QSignalBlocker block(txUrl);
            txUrl->setText(ToQString(text));
            break;
        }
        case EditorControl::txComment: {
            const QSignalBlocker block(txComment);
            txComment->setPlainText(ToEditorLines(text));
            break;
        }
        case EditorControl::txNo: {
            const QSignalBlocker block(txNo);
            txNo->setText(ToQString(text));
            break;
        }
        case EditorControl::txFnAdd: {
            const QSignalBlocker block(txFnAdd);
            txFnAdd->setText(ToQString(text));
            break;
        }
        case EditorControl::txMinWidth: {
            const QSignalBlocker block(txMinWidth);
            txMinWidth->setText(ToQString(text));
            break;
        }
        case EditorControl::lbLastRun:
            lbLastRun->setText(ToQString(text));
            lbLastRun->setToolTip(ToQString(text));
            break;
        case EditorControl::lbSettingsFile:
            lbSettingsFile->setText(Q(texts_.lbSettingsFileLead) + ToQString(text));
            lbSettingsFile->setToolTip(ToQString(text));
            break;
        default:
            break;
    }
}

bool QtEditorWindow::IsChecked(EditorControl control, int index) const {
    if (control == EditorControl::cbSchedule) return cbSchedule->currentIndex() == index;
    const auto* button = qobject_cast<const QAbstractButton*>(Control(control, index));
    return button && button->isChecked();
}

void QtEditorWindow::SetChecked(EditorControl control, int index, bool checked) {
    if (control == EditorControl::cbSchedule) {
        const QSignalBlocker block(cbSchedule);
        if (checked) cbSchedule->setCurrentIndex(index);
        return;
    }
    auto* button = qobject_cast<QAbstractButton*>(Control(control, index));
    if (!button) return;
    const QSignalBlocker block(button);
    QButtonGroup* group = button->group();
    // An exclusive group cannot be left without a selection; a value that names no
    // button needs exactly that.
    if (group && !checked) {
        group->setExclusive(false);
        button->setChecked(false);
        group->setExclusive(true);
    } else {
        button->setChecked(checked);
    }
}

void QtEditorWindow::SetColour(EditorControl control, std::uint32_t colour) {
    auto* button = qobject_cast<QPushButton*>(Control(control, 0));
    if (!button) return;
    const int side = button->fontMetrics().height();
    QPixmap swatch(side * 2, side);
    swatch.fill(QColor::fromRgb(colour & 0xFFFFFFu));
    QPainter frame(&swatch);
    frame.setPen(palette().color(QPalette::WindowText));
    frame.drawRect(swatch.rect().adjusted(0, 0, -1, -1));
    frame.end();
    button->setIcon(QIcon(swatch));
    button->setIconSize(swatch.size());
}

void QtEditorWindow::SetEnabled(EditorControl control, int index, bool enabled) {
    if (QWidget* widget = Control(control, index)) widget->setEnabled(enabled);
    // The captions of the width read as one line with their box.
    if (control == EditorControl::txMinWidth) {
        lbMinWidthLead->setEnabled(enabled);
        lbMinWidthTail->setEnabled(enabled);
    }
}

QWidget* QtEditorWindow::Control(EditorControl control, int index) const {
    auto pick = [index](const auto& array) -> QWidget* {
        return index >= 0 && static_cast<std::size_t>(index) < array.size() ? array[index] : nullptr;
    };
    switch (control) {
        case EditorControl::cbTouroku:
            return cbTouroku;
        case EditorControl::cbDelete:
            return cbDelete;
        case EditorControl::cbPreview:
            return cbPreview;
        case EditorControl::cbSetWP:
            return cbSetWP;
        case EditorControl::cbEnd:
            return cbEnd;
        case EditorControl::Frame2:
            return Frame2;
        case EditorControl::Frame3:
            return Frame3;
        case EditorControl::Frame4:
            return Frame4;
        case EditorControl::Frame5:
            return Frame5;
        case EditorControl::ckFilter:
            return pick(ckFilter);
        case EditorControl::ckExt:
            return pick(ckExt);
        case EditorControl::opWp:
            return pick(opWp);
        case EditorControl::opNo:
            return pick(opNo);
        case EditorControl::txUrl:
            return txUrl;
        case EditorControl::txComment:
            return txComment;
        case EditorControl::txNo:
            return txNo;
        case EditorControl::txFnAdd:
            return txFnAdd;
        case EditorControl::scNo:
            return scNo;
        case EditorControl::txMinWidth:
            return txMinWidth;
        case EditorControl::cbSchedule:
            return cbSchedule;
        case EditorControl::lbLastRun:
            return lbLastRun;
        case EditorControl::ckEachScreen:
            return ckEachScreen;
        case EditorControl::ckBackColour:
            return ckBackColour;
        case EditorControl::cbBackColour:
            return cbBackColour;
        case EditorControl::lbSettingsFile:
            return lbSettingsFile;
    }
    return nullptr;
}

void QtEditorWindow::ClearList() {
    const QSignalBlocker block(cbSelect);
    cbSelect->clear();
}

void QtEditorWindow::AddListItem(const std::string& text) {
    const QSignalBlocker block(cbSelect);
    cbSelect->addItem(ToQString(text));
}

std::string QtEditorWindow::ListItemText(int index) const { return ToUtf8(cbSelect->itemText(index)); }

int QtEditorWindow::SelectedListItem() const { return cbSelect->currentIndex(); }

void QtEditorWindow::SelectListItem(int index) {
    const QSignalBlocker block(cbSelect);
    cbSelect->setCurrentIndex(index);
}

int QtEditorWindow::SpinPosition() const { return -scNo->value(); }

void QtEditorWindow::SetSpinPosition(int position) {
    const QSignalBlocker block(scNo);
    scNo->setValue(-position);
}

}  // namespace vexal
