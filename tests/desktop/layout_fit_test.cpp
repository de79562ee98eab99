// Every caption, label and button text fits its control in the font the control
// really got, check boxes and option buttons with their indicator, and no control
// reaches into a shown sibling. Run once per scale factor (QT_SCALE_FACTOR).

#include "app/frmAbout.h"
#include "app/frmTool.h"
#include "tests/platform/fake_platform.h"

#include <QtTest>
#include <QtWidgets>

using namespace quillvane;

namespace {

// Where the widget paints its text (and indicator), in its own coordinates, and the
// room the style gives it.
struct Painted {
    QRect extent;
    QRect room;
};

Painted Text(const QWidget& widget, const QRect& room, int flags, const QString& text) {
    return {widget.fontMetrics().boundingRect(room, flags, text), room};
}

std::optional<Painted> PaintedButton(const QAbstractButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const auto rect = [&](QStyle::SubElement element) {
        return button.style()->subElementRect(element, &option, &button);
    };
    if (qobject_cast<const QPushButton*>(&button))
        return Text(button, rect(QStyle::SE_PushButtonContents), Qt::AlignCenter | Qt::TextShowMnemonic,
                    button.text());
    const bool check = qobject_cast<const QCheckBox*>(&button);
    const QRect indicator = rect(check ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator);
    const Painted text =
        Text(button, rect(check ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents),
             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, button.text());
    return Painted{text.extent.united(indicator), text.room.united(indicator)};
}

std::optional<Painted> PaintedText(const QWidget& widget) {
    if (const auto* label = qobject_cast<const QLabel*>(&widget))
        return Text(*label, label->contentsRect(),
                    int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0), label->text());
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget))
        return PaintedButton(*button);
    const auto* box = qobject_cast<const QGroupBox*>(&widget);
    if (!box || box->title().isEmpty())
        return std::nullopt;
    QStyleOptionGroupBox option;
    option.initFrom(box);
    option.text = box->title();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    return Text(*box,
                box->style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box),
                Qt::AlignCenter, box->title());
}

// A widget's painted extent in its parent's coordinates: labels and option buttons
// are transparent beyond their text, so only that counts for an overlap.
QRect Footprint(const QWidget& widget) {
    const bool textOnly = qobject_cast<const QLabel*>(&widget) || qobject_cast<const QCheckBox*>(&widget) ||
                          qobject_cast<const QRadioButton*>(&widget);
    const std::optional<Painted> painted = PaintedText(widget);
    return textOnly && painted ? painted->extent.translated(widget.pos()) : widget.geometry();
}

// Clipped texts and overlapping siblings among the widgets shown in this window.
QStringList LayoutFaults(const QWidget& window) {
    QStringList faults;
    const auto fault = [&](const QString& what, const QWidget& widget, const QRect& rect) {
        QDebug(&faults.emplace_back()).nospace() << what << widget.objectName() << ' ' << rect;
    };
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window))
            continue;
        const std::optional<Painted> painted = PaintedText(*widget);
        if (painted && !(painted->room.contains(painted->extent) && widget->rect().contains(painted->extent)))
            fault("clipped: ", *widget, painted->extent);
        if (!widget->isWindow() && !widget->parentWidget()->rect().contains(Footprint(*widget)))
            fault("outside its parent: ", *widget, Footprint(*widget));
        for (const QWidget* sibling :
             widget->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (sibling > widget && sibling->isVisibleTo(&window) && !sibling->isWindow() &&
                Footprint(*widget).intersects(Footprint(*sibling)))
                fault("overlap with " + sibling->objectName() + ": ", *widget, Footprint(*widget));
    }
    return faults;
}

} // namespace

class LayoutFitTest : public QObject {
    Q_OBJECT

    testing::FakePlatform platform_;

private slots:
    // Each panel, the QueryString panel in both its languages, and the About window.
    void windows() {
        frmTool window(platform_);
        window.show();
        QPointer<frmAbout> about;
        const std::function<const QWidget*()> states[] = {
            [&] { return &window; },
            [&] { return window.mnuQuery_Click(), &window; },
            [&] { return window.findChild<QRadioButton*>("optGetLang_1")->click(), &window; },
            [&] { return frmAbout::OpenOver(about, platform_, &window); },
        };
        for (const auto& enter : states) {
            const QStringList faults = LayoutFaults(*enter());
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        }
    }
};

QTEST_MAIN(LayoutFitTest)
#include "layout_fit_test.moc"
