// How a screen reader sees a text box: its text with a line break as one
// character, offsets in UTF-16 code units, as the accessibility bus counts them.

#include "app/textbox.h"

#include <QAccessibleWidget>

namespace quillvane {

namespace {

// [from, to) of a box's lines, or of the lines an edit took out, as a screen
// reader counts it: a line break is one character.
template <typename Lines> QString TextBetween(const Lines& lines, TextPos from, TextPos to) {
    QString text;
    for (std::size_t line = from.line; line <= to.line && from <= to; ++line) {
        const std::size_t begin = line == from.line ? from.col : 0;
        const std::size_t stop = line == to.line ? to.col : lines[line].size();
        if (line != from.line)
            text += u'\n';
        text += QString::fromUtf8(lines[line].data() + begin, qsizetype(stop - begin));
    }
    return text;
}

class TextBoxAccessible final : public QAccessibleWidget,
                                public QAccessibleTextInterface,
                                public QAccessibleEditableTextInterface {
public:
    explicit TextBoxAccessible(TextBox* box) : QAccessibleWidget(box, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        if (type == QAccessible::EditableTextInterface)
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QAccessible::State state() const override {
        QAccessible::State state = QAccessibleWidget::state();
        state.editable = state.multiLine = state.selectableText = true;
        return state;
    }

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Value ? text(0, characterCount()) : QAccessibleWidget::text(t);
    }

    // Text.
    QString text(int start, int end) const override { return TextBetween(Box().Lines(), At(start), At(end)); }
    int characterCount() const override { return OffsetOf(Box().Lines().End()); }
    int cursorPosition() const override { return OffsetOf(Box().CursorPos()); }
    void setCursorPosition(int position) override { Box().SetCursor(At(position), At(position)); }
    int selectionCount() const override { return Box().AnchorPos() != Box().CursorPos() ? 1 : 0; }
    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index == 0 && selectionCount() == 1) {
            *start = OffsetOf(std::min(Box().AnchorPos(), Box().CursorPos()));
            *end = OffsetOf(std::max(Box().AnchorPos(), Box().CursorPos()));
        }
    }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int) override { setCursorPosition(cursorPosition()); }
    void setSelection(int, int start, int end) override { Box().SetCursor(At(start), At(end)); }
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int start, int) override { setCursorPosition(start); }
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

    // Editable text.
    void deleteText(int start, int end) override { replaceText(start, end, {}); }
    void insertText(int offset, const QString& text) override { replaceText(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override {
        Box().SetCursor(At(start), At(end));
        Box().InsertText(text);
    }

private:
    TextBox& Box() const { return *static_cast<TextBox*>(widget()); }
    TextPos At(int offset) const {
        return Box().Lines().AfterUtf16({}, offset < 0 ? std::size_t(characterCount()) : std::size_t(offset));
    }
    int OffsetOf(TextPos pos) const { return int(Box().Lines().Utf16Length({}, pos)); }
};

QAccessibleInterface* MakeAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("quillvane::TextBox") && object && object->isWidgetType())
        return new TextBoxAccessible(static_cast<TextBox*>(object));
    return nullptr;
}

} // namespace

// Tells a listening screen reader what changed and where the cursor went; no
// listener, no cost.
void NotifyTextChange(TextBox& box, TextPos from, const TextPiece& removed, TextPos end) {
    if (!QAccessible::isActive())
        return;
    const TextPos removedEnd{removed.size() - 1, removed.back().size()};
    QAccessibleTextUpdateEvent change(&box, int(box.Lines().Utf16Length({}, from)),
                                      TextBetween(removed, {}, removedEnd),
                                      TextBetween(box.Lines(), from, end));
    QAccessible::updateAccessibility(&change);
    NotifyCursorMove(box);
}

void NotifyCursorMove(TextBox& box) {
    if (!QAccessible::isActive())
        return;
    QAccessibleTextCursorEvent moved(&box, int(box.Lines().Utf16Length({}, box.CursorPos())));
    QAccessible::updateAccessibility(&moved);
}

void InstallTextBoxAccessibility() {
    static const bool installed = (QAccessible::installFactory(MakeAccessible), true);
    (void)installed;
}

} // namespace quillvane
