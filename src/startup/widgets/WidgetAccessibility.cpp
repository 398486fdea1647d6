#include "WidgetAccessibility.h"

#include "MMControlBar.h"
#include "StatusDisplay.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <array>

namespace quavix {

namespace {

// One button of the bar: no widget of its own, so it answers for itself.
class BarButtonAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    BarButtonAccessible(MMControlBar* bar, Button button) : m_bar(bar), m_button(button) {}

    bool isValid() const override { return m_bar; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return m_bar ? m_bar->window()->windowHandle() : nullptr; }
    QAccessibleInterface* parent() const override
    {
        return m_bar ? QAccessible::queryAccessibleInterface(m_bar) : nullptr;
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name)
            return buttonName(m_button);
        if (t == QAccessible::Description && m_button == Button::Eject)
            return QStringLiteral("Ends the program");
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override
    {
        if (!m_bar)
            return {};
        const QRect r = m_bar->buttonRect(m_button);
        return QRect(m_bar->mapToGlobal(r.topLeft()), r.size());
    }
    QAccessible::Role role() const override { return QAccessible::Button; }
    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!m_bar)
            return s;
        s.disabled = !m_bar->isEnabled() || !m_bar->buttonEnabled(m_button);
        s.invisible = !m_bar->isVisible();
        s.focusable = true;
        s.focused = m_bar->hasFocus() && m_bar->focusedButton() == static_cast<int>(m_button);
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this)
                                                    : nullptr;
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        if (m_bar && action == pressAction())
            m_bar->click(m_button);
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    QPointer<MMControlBar> m_bar;
    Button m_button;
};

class BarAccessible : public QAccessibleWidget {
public:
    explicit BarAccessible(MMControlBar* bar)
        : QAccessibleWidget(bar, QAccessible::ToolBar, QStringLiteral("Transport"))
    {
    }
    ~BarAccessible() override
    {
        for (QAccessible::Id id : m_ids)
            if (id)
                QAccessible::deleteAccessibleInterface(id);
    }
    int childCount() const override { return ButtonCount; }
    QAccessibleInterface* child(int index) const override
    {
        if (index < 0 || index >= ButtonCount)
            return nullptr;
        auto& id = m_ids[static_cast<std::size_t>(index)];
        if (!id)
            id = QAccessible::registerAccessibleInterface(
                new BarButtonAccessible(bar(), static_cast<Button>(index)));
        return QAccessible::accessibleInterface(id);
    }
    int indexOfChild(const QAccessibleInterface* child) const override
    {
        for (int i = 0; i < ButtonCount; ++i)
            if (m_ids[static_cast<std::size_t>(i)] &&
                QAccessible::accessibleInterface(m_ids[static_cast<std::size_t>(i)]) == child)
                return i;
        return -1;
    }
    QAccessibleInterface* childAt(int x, int y) const override
    {
        for (int i = 0; i < ButtonCount; ++i)
            if (auto* c = child(i); c && c->rect().contains(x, y))
                return c;
        return nullptr;
    }
    QAccessibleInterface* focusChild() const override
    {
        return bar()->hasFocus() ? child(bar()->focusedButton()) : nullptr;
    }

private:
    MMControlBar* bar() const { return static_cast<MMControlBar*>(widget()); }
    mutable std::array<QAccessible::Id, ButtonCount> m_ids{};
};

class StatusAccessible : public QAccessibleWidget {
public:
    explicit StatusAccessible(StatusDisplay* display)
        : QAccessibleWidget(display, QAccessible::StaticText)
    {
    }
    QString text(QAccessible::Text t) const override
    {
        if (t != QAccessible::Name)
            return QAccessibleWidget::text(t);
        const auto* display = static_cast<const StatusDisplay*>(widget());
        if (!display->messageText().isEmpty())
            return display->messageText();
        QStringList parts;
        for (const QString& part : {display->stateText(), display->nameText(), display->timeText()})
            if (!part.isEmpty())
                parts << part;
        return parts.join(QStringLiteral(", "));
    }
};

QAccessibleInterface* factory(const QString& className, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("quavix::MMControlBar"))
        return new BarAccessible(static_cast<MMControlBar*>(object));
    if (className == QLatin1String("quavix::StatusDisplay"))
        return new StatusAccessible(static_cast<StatusDisplay*>(object));
    return nullptr;
}

} // namespace

void installWidgetAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

} // namespace quavix
