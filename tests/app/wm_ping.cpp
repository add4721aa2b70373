// SPDX-License-Identifier: MIT
// Asks an X window whether its program is alive, as a window manager does: sends
// _NET_WM_PING to the window every INTERVAL milliseconds, COUNT times, and prints how long
// each answer took ("pong <ms>") or "lost" when none came within a second.
//   wm_ping WINDOW_ID COUNT INTERVAL
// Needs to be the only client that redirects the root window (no window manager runs).
#include <xcb/xcb.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name)
{
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(name)), name),
        nullptr);
    const xcb_atom_t result = reply != nullptr ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return result;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fputs("usage: wm_ping WINDOW_ID COUNT INTERVAL\n", stderr);
        return 2;
    }
    const auto window = xcb_window_t(std::strtoul(argv[1], nullptr, 0));
    const int count = std::atoi(argv[2]);
    const int interval = std::atoi(argv[3]);

    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection))
        return 2;
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    // The answer is sent to the root window with these masks.
    const std::uint32_t mask =
        XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT;
    xcb_change_window_attributes(connection, root, XCB_CW_EVENT_MASK, &mask);
    const xcb_atom_t protocols = atom(connection, "WM_PROTOCOLS");
    const xcb_atom_t ping = atom(connection, "_NET_WM_PING");

    int lost = 0;
    for (int round = 0; round < count; ++round) {
        xcb_client_message_event_t event = {};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 32;
        event.window = window;
        event.type = protocols;
        event.data.data32[0] = ping;
        event.data.data32[1] = std::uint32_t(round + 1); // stands in for the timestamp
        event.data.data32[2] = window;
        xcb_send_event(connection, 0, window, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&event));
        xcb_flush(connection);

        const auto sent = std::chrono::steady_clock::now();
        bool answered = false;
        while (!answered && std::chrono::steady_clock::now() - sent < std::chrono::seconds(1)) {
            xcb_generic_event_t* reply = xcb_poll_for_event(connection);
            if (reply == nullptr) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if ((reply->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                const auto* message = reinterpret_cast<xcb_client_message_event_t*>(reply);
                answered = message->data.data32[0] == ping &&
                           message->data.data32[1] == std::uint32_t(round + 1);
            }
            std::free(reply);
        }
        const double milliseconds =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - sent)
                .count();
        if (answered)
            std::printf("pong %.1f\n", milliseconds);
        else
            std::printf("lost\n");
        std::fflush(stdout);
        lost += answered ? 0 : 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(interval));
    }
    xcb_disconnect(connection);
    return lost == 0 ? 0 : 1;
}
