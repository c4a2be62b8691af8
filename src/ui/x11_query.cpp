#include "ui/x11_query.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <cstdlib>
#include <memory>

namespace sonarch {

namespace {

xcb_connection_t* x11Connection() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t* connection) {
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

template <class Reply>
using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;

}  // namespace

std::optional<bool> x11MouseButtonHeld() {
    xcb_connection_t* connection = x11Connection();
    if (!connection) {
        return std::nullopt;
    }
    const ReplyPtr<xcb_query_pointer_reply_t> reply(
        xcb_query_pointer_reply(connection, xcb_query_pointer(connection, rootWindow(connection)),
                                nullptr),
        &std::free);
    if (!reply) {
        return std::nullopt;
    }
    return (reply->mask & (XCB_BUTTON_MASK_1 | XCB_BUTTON_MASK_2 | XCB_BUTTON_MASK_3)) != 0;
}

std::optional<QPoint> x11WindowOrigin(const QWidget* window) {
    xcb_connection_t* connection = x11Connection();
    if (!connection || !window->windowHandle()) {
        return std::nullopt;
    }
    const auto id = static_cast<xcb_window_t>(window->winId());
    const ReplyPtr<xcb_translate_coordinates_reply_t> reply(
        xcb_translate_coordinates_reply(
            connection, xcb_translate_coordinates(connection, id, rootWindow(connection), 0, 0),
            nullptr),
        &std::free);
    if (!reply) {
        return std::nullopt;
    }
    const qreal ratio = window->devicePixelRatioF();
    return QPoint(qRound(reply->dst_x / ratio), qRound(reply->dst_y / ratio));
}

bool x11MoveWindowBy(const QWidget* window, QPoint offset) {
    xcb_connection_t* connection = x11Connection();
    const std::optional<QPoint> origin = x11WindowOrigin(window);
    if (!connection || !origin) {
        return false;
    }
    const qreal ratio = window->devicePixelRatioF();
    const QPoint to = (*origin + offset) * ratio;
    const std::uint32_t values[] = {std::uint32_t(to.x()), std::uint32_t(to.y())};
    xcb_configure_window(connection, static_cast<xcb_window_t>(window->winId()),
                         XCB_CONFIG_WINDOW_X | XCB_CONFIG_WINDOW_Y, values);
    xcb_flush(connection);
    return true;
}

}  // namespace sonarch
