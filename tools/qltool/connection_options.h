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

// A command line of connection options, the command's own options and one argument that is
// not an option (the SQL, the file). `own(name, i)` handles argv[i] when it is one of the
// command's options (taking its value with optionValue). False when anything is wrong or the
// argument is missing.
template <class Own>
bool parseCommandLine(int argc, char** argv, ConnectionOptions& o, std::string& argument,
                      Own&& own) {
    for (int i = 1; i < argc; ++i) {
        OptionTaken taken = takeConnectionOption(argc, argv, i, o);
        if (taken == OptionTaken::No) taken = own(std::string_view(argv[i]), i);
        if (taken == OptionTaken::Bad) return false;
        if (taken == OptionTaken::Yes) continue;
        if (!argument.empty() || std::string_view(argv[i]).starts_with("--")) return false;
        argument = argv[i];
    }
    return !argument.empty();
}
