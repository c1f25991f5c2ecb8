#include "fuzz/mysql_packets_body.h"

#include <cstdlib>

#include "db/packet_readers.h"

namespace fuzzing {

using namespace db;

namespace {
// A reader that claims success must have produced what it promises.
void check(bool condition) {
    if (!condition) std::abort();
}
}  // namespace

void readServerPacket(std::span<const std::byte> data) {
    if (data.empty()) return;
    const auto selector = std::to_integer<unsigned>(data[0]);
    const Payload p = data.subspan(1);
    const bool protocol41 = selector & 0x10;
    switch (selector & 0x07) {
        case 0: {
            auto h = readHandshake(p);
            if (h) check(h->scramble.size() == 8 || h->scramble.size() == 20);
            break;
        }
        case 1: {
            auto ok = readOk(p, protocol41, selector & 0x20);
            if (ok) check(ok->info.size() < p.size());
            break;
        }
        case 2: {
            MySqlError e = readError(p);
            check(e.code != 0 || p.size() >= 3);
            break;
        }
        case 3:
            (void)readEof(p, protocol41);
            break;
        case 4: {
            auto f = readColumnDefinition(p, protocol41);
            if (f) check(f->Name.size() < p.size());
            break;
        }
        case 5:
            (void)readColumnCount(p);
            break;
        default: {
            RowValues row;
            const std::size_t columns = (selector >> 5) + 1;
            if (readRow(p, columns, row).ok()) {
                check(row.size() == columns);
                for (const auto& v : row)
                    if (v)
                        check(v->data() >= reinterpret_cast<const char*>(p.data()) &&
                              v->data() + v->size() <=
                                  reinterpret_cast<const char*>(p.data() + p.size()));
            }
            break;
        }
    }
}

}  // namespace fuzzing
