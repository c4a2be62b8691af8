#include "ui/x11_query.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWidget>
#include <algorithm>
#include <cstdlib>
#include <cstring>
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

xcb_atom_t atomNamed(xcb_connection_t* connection, const char* name) {
    const ReplyPtr<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 1, uint16_t(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Whether the window manager says it supports `atom` (_NET_SUPPORTED on the root window).
bool supportedByWindowManager(xcb_connection_t* connection, xcb_atom_t atom) {
    const xcb_atom_t supported = atomNamed(connection, "_NET_SUPPORTED");
    if (supported == XCB_ATOM_NONE || atom == XCB_ATOM_NONE) {
        return false;
    }
    const ReplyPtr<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(connection,
                               xcb_get_property(connection, 0, rootWindow(connection), supported,
                                                XCB_ATOM_ATOM, 0, 4096),
                               nullptr),
        &std::free);
    if (!reply || reply->format != 32) {
        return false;
    }
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    const int count = xcb_get_property_value_length(reply.get()) / int(sizeof(xcb_atom_t));
    return std::find(atoms, atoms + count, atom) != atoms + count;
}

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

std::optional<bool> x11StartWindowMove(const QWidget* window, QPoint pressedAt, int button) {
    xcb_connection_t* connection = x11Connection();
    if (!connection || !window->windowHandle()) {
        return std::nullopt;
    }
    const xcb_atom_t moveResize = atomNamed(connection, "_NET_WM_MOVERESIZE");
    if (!supportedByWindowManager(connection, moveResize)) {
        return false;
    }
    constexpr std::uint32_t kMove = 8;         // _NET_WM_MOVERESIZE_MOVE
    constexpr std::uint32_t kApplication = 1;  // the request comes from an application
    const qreal ratio = window->devicePixelRatioF();
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = static_cast<xcb_window_t>(window->winId());
    message.type = moveResize;
    message.data.data32[0] = std::uint32_t(qRound(pressedAt.x() * ratio));
    message.data.data32[1] = std::uint32_t(qRound(pressedAt.y() * ratio));
    message.data.data32[2] = kMove;
    message.data.data32[3] = std::uint32_t(button);
    message.data.data32[4] = kApplication;
    // The press's implicit grab goes, so that the window manager can take the pointer.
    xcb_ungrab_pointer(connection, XCB_CURRENT_TIME);
    xcb_send_event(connection, 0, rootWindow(connection),
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection);
    return true;
}

}  // namespace sonarch
