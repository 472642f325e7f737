#include "skin/SkinBitmaps.h"

#include "core/Log.h"

// The PNGs are compiled into this static library, whose resource registration the linker would
// drop: nothing refers to it. Calling the initializer from here keeps it wherever the lookup is
// linked in. Q_INIT_RESOURCE must be used outside any namespace.
static void RegisterSkinResources() {
    Q_INIT_RESOURCE(skin);
}

QPixmap SkinBitmap(int id, qreal devicePixelRatio) {
    static const bool registered = (RegisterSkinResources(), true);
    (void)registered;

    const bool doubled = devicePixelRatio > 1.0;
    const QString path =
        QStringLiteral(":/skin/%1%2.png").arg(id).arg(doubled ? QStringLiteral("@2x") : QString());
    QPixmap pixmap;
    if (!pixmap.load(path)) {
        Log({"SkinBitmap", LOG_LEVEL_ERROR}, "no skin bitmap %d", id);
        return {};
    }
    pixmap.setDevicePixelRatio(doubled ? 2.0 : 1.0);
    return pixmap;
}
