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

QRect TextRect(const QWidget& widget, const QRect& room, int flags, const QString& text) {
    return widget.fontMetrics().boundingRect(room, flags, text);
}

// Where the widget paints, in its own coordinates, and the room it has for its text.
struct Painted {
    QRect extent;
    QRect room;
};

Painted PaintedButton(const QAbstractButton& button) {
    QStyleOptionButton option;
    option.initFrom(&button);
    option.text = button.text();
    const QStyle* style = button.style();
    if (qobject_cast<const QPushButton*>(&button)) {
        const QRect room = style->subElementRect(QStyle::SE_PushButtonContents, &option, &button);
        return {TextRect(button, room, Qt::AlignCenter | Qt::TextShowMnemonic, button.text()), room};
    }
    const bool check = qobject_cast<const QCheckBox*>(&button);
    const QRect indicator = style->subElementRect(
        check ? QStyle::SE_CheckBoxIndicator : QStyle::SE_RadioButtonIndicator, &option, &button);
    const QRect room = style->subElementRect(
        check ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &option, &button);
    const QRect text =
        TextRect(button, room, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, button.text());
    return {text.united(indicator), room.united(indicator)};
}

Painted PaintedGroupBox(const QGroupBox& box) {
    QStyleOptionGroupBox option;
    option.initFrom(&box);
    option.text = box.title();
    option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    const QRect label =
        box.style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, &box);
    return {TextRect(box, label, Qt::AlignCenter, box.title()), label};
}

std::optional<Painted> PaintedText(const QWidget& widget) {
    if (const auto* label = qobject_cast<const QLabel*>(&widget)) {
        const int wrap = label->wordWrap() ? Qt::TextWordWrap : 0;
        const QRect room = label->contentsRect();
        return Painted{TextRect(*label, room, int(label->alignment()) | wrap, label->text()), room};
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&widget))
        return PaintedButton(*button);
    if (const auto* box = qobject_cast<const QGroupBox*>(&widget); box && !box->title().isEmpty())
        return PaintedGroupBox(*box);
    return std::nullopt;
}

// A widget's painted extent in its parent's coordinates: labels and option buttons
// are transparent beyond their text, so only that counts for an overlap.
QRect Footprint(const QWidget& widget) {
    const bool textOnly = qobject_cast<const QLabel*>(&widget) || qobject_cast<const QCheckBox*>(&widget) ||
                          qobject_cast<const QRadioButton*>(&widget);
    const std::optional<Painted> painted = PaintedText(widget);
    return textOnly && painted ? painted->extent.translated(widget.pos()) : widget.geometry();
}

QString Describe(const QWidget& widget, const QRect& rect) {
    QString text;
    QDebug(&text).nospace() << widget.objectName() << ' ' << rect;
    return text;
}

// Clipped texts and overlapping siblings among the widgets shown in this window.
QStringList LayoutFaults(const QWidget& window) {
    QStringList faults;
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        if (!widget->isVisibleTo(&window))
            continue;
        const std::optional<Painted> painted = PaintedText(*widget);
        if (painted && !(painted->room.contains(painted->extent) && widget->rect().contains(painted->extent)))
            faults << QStringLiteral("clipped: ") + Describe(*widget, painted->extent);
        if (!widget->isWindow() && !widget->parentWidget()->rect().contains(Footprint(*widget)))
            faults << QStringLiteral("outside its parent: ") + Describe(*widget, Footprint(*widget));
        for (const QWidget* sibling :
             widget->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (sibling > widget && sibling->isVisibleTo(&window) && !sibling->isWindow() &&
                Footprint(*widget).intersects(Footprint(*sibling)))
                faults << QStringLiteral("overlap: ") + Describe(*widget, Footprint(*widget)) + " and " +
                              Describe(*sibling, Footprint(*sibling));
        }
    }
    return faults;
}

} // namespace

class LayoutFitTest : public QObject {
    Q_OBJECT

    testing::FakePlatform platform_;

private slots:
    // Each panel, and the QueryString panel in both its languages.
    void mainWindow() {
        frmTool window(platform_);
        window.show();
        const std::function<void()> states[] = {
            [] {},
            [&] { window.mnuQuery_Click(); },
            [&] { window.findChild<QRadioButton*>("optGetLang_1")->click(); },
        };
        for (const auto& enter : states) {
            enter();
            const QStringList faults = LayoutFaults(window);
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        }
    }

    void aboutWindow() {
        QWidget main;
        QPointer<frmAbout> about;
        const QStringList faults = LayoutFaults(*frmAbout::OpenOver(about, platform_, &main));
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
    }
};

QTEST_MAIN(LayoutFitTest)
#include "layout_fit_test.moc"
