// The connection options shared by the commands that talk to a MySQL server: --host, --port,
// --user, --password, each followed by its value.
#pragma once

#include <charconv>
#include <string>
#include <string_view>

struct ConnectionOptions {
    std::string host = "localhost", user = "root", password;
    unsigned port = 3306;
};

enum class OptionTaken { No, Yes, Bad };

// The value after argv[i], moving i onto it; false when there is none.
inline bool optionValue(int argc, char** argv, int& i, std::string& out) {
    if (i + 1 >= argc) return false;
    out = argv[++i];
    return true;
}

// Takes argv[i] (and its value) when it is a connection option. Bad: its value is missing, or
// the port is not a number from 1 to 65535.
inline OptionTaken takeConnectionOption(int argc, char** argv, int& i, ConnectionOptions& o) {
    const std::string_view a = argv[i];
    std::string* text = a == "--host"       ? &o.host
                        : a == "--user"     ? &o.user
                        : a == "--password" ? &o.password
                                            : nullptr;
    if (text) return optionValue(argc, argv, i, *text) ? OptionTaken::Yes : OptionTaken::Bad;
    if (a != "--port") return OptionTaken::No;
    std::string port;
    if (!optionValue(argc, argv, i, port)) return OptionTaken::Bad;
    unsigned n = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), n);
    if (ec != std::errc() || end != port.data() + port.size() || n == 0 || n > 65535)
        return OptionTaken::Bad;
    o.port = n;
    return OptionTaken::Yes;
}
