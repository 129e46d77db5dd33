// x11_selection_owner NAME: prints the window that owns the X selection NAME
// (hexadecimal) and ends with 0, or ends with 1 when nobody owns it and with 2
// when the display cannot be reached. A tray host owns _NET_SYSTEM_TRAY_S0
// from the moment it takes icons, which no window lookup can tell.
#include <xcb/xcb.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: x11_selection_owner SELECTION\n");
        return 2;
    }
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) != 0) {
        std::fprintf(stderr, "x11_selection_owner: cannot open the display\n");
        xcb_disconnect(connection);
        return 2;
    }
    int status = 1;
    // only_if_exists: a selection whose atom nobody has made has no owner.
    xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
        connection,
        xcb_intern_atom(connection, 1, static_cast<uint16_t>(std::strlen(argv[1])), argv[1]),
        nullptr);
    if (atom != nullptr && atom->atom != XCB_ATOM_NONE) {
        xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
            connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
        if (owner != nullptr && owner->owner != XCB_WINDOW_NONE) {
            std::printf("0x%x\n", owner->owner);
            status = 0;
        }
        std::free(owner);
    }
    std::free(atom);
    xcb_disconnect(connection);
    return status;
}
