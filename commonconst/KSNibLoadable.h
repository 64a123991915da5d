#pragma once

#include <QByteArray>
#include <QString>
#include <QWidget>
#include <concepts>
#include <memory>

// A screen or cell that lays itself out from the interface file named after
// its class: KSHomeView from KSHomeView.ui, which uic compiles into
// Ui::KSHomeView and the view applies to itself in its constructor. A view
// without a .ui file builds its layout in code instead. A view whose layout
// can fail (a picture or table it needs is missing) says so through a member
//     bool loadNib();
// that loadViewFromNib calls right after construction.
template<class T>
concept KSNibLoadable = std::derived_from<T, QWidget>
                        && (std::constructible_from<T, QWidget *> || std::default_initializable<T>);

namespace KSNibLoadableDetail {
template<class T>
concept ReportsLoading = requires(T &view) {
    { view.loadNib() } -> std::convertible_to<bool>;
};

inline QString unqualifiedName(const char *className)
{
    const QByteArray name(className);
    const qsizetype scope = name.lastIndexOf("::");
    return QString::fromLatin1(scope < 0 ? name : name.mid(scope + 2));
}
} // namespace KSNibLoadableDetail

// The one way screens and cells are created: the view built from its layout,
// owned by the parent when one is given, or nullptr when it cannot be built.
// Its object name is its class name unless the layout named it.
template<KSNibLoadable T>
[[nodiscard]] T *loadViewFromNib(QWidget *parent = nullptr)
{
    std::unique_ptr<T> view;
    if constexpr (std::constructible_from<T, QWidget *>) {
        view = std::make_unique<T>(parent);
    } else {
        view = std::make_unique<T>();
        view->setParent(parent);
    }
    if constexpr (KSNibLoadableDetail::ReportsLoading<T>) {
        if (!view->loadNib())
            return nullptr;
    }
    if (view->objectName().isEmpty())
        view->setObjectName(KSNibLoadableDetail::unqualifiedName(view->metaObject()->className()));
    return view.release();
}
