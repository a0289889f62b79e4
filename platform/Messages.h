#pragma once
#include <QString>
#include <QStringList>
#include <functional>

// Caption of every message box of the program.
// TRASOVNIK_VERSION is the project's version (CMakeLists.txt), set by the build.
inline constexpr const char16_t *kAppTitle = u"Trasovník " TRASOVNIK_VERSION;

// Shows message boxes. The widget side puts QMessageBox behind it; tests
// install a recorder so that nothing ever blocks on a modal box.
class Messages
{
public:
    enum class Kind {
        Info,        // plain box, one OK button, caption kAppTitle
        Failure,     // the default error box for a failed action
        ErrorDialog  // error icon, the standard error caption, one OK button
    };

    virtual ~Messages() = default;
    virtual void show(Kind kind, const QString &text) = 0;
    // A plain box (caption kAppTitle, warning icon) with one button
    // per text; returns the index of the button chosen, or `escape` when
    // the box was closed any other way. The silent service answers escape.
    virtual int choose(const QString &text, const QStringList &buttons, int defaultButton, int escape);

    void info(const QString &text) { show(Kind::Info, text); }
    void failure(const QString &text) { show(Kind::Failure, text); }
    void errorDialog(const QString &text) { show(Kind::ErrorDialog, text); }

    // The service in use; a silent one until something is installed.
    static Messages &instance();
    // Installs a service (not owned); nullptr restores the silent one.
    static void install(Messages *service);
};

// Runs an action; an AppError or other std::exception it throws is shown
// in the default error box and the program goes on. Returns true when the
// action finished without a failure.
bool runGuarded(const std::function<void()> &action);
// Runs an action without showing anything: the text the error box would
// show for its failure, or an empty text when it finished.
QString failureOf(const std::function<void()> &action);

// A slot that runs a member function of `object` under runGuarded.
template <class T>
std::function<void()> guardedSlot(T *object, void (T::*handler)())
{
    return [object, handler] { runGuarded([object, handler] { (object->*handler)(); }); };
}
