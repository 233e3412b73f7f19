// Writes a header and samples into a pipe and reads them back, from C++.
#include <samplestream.h>

#include <array>
#include <cstdio>
#include <cstring>
#include <span>
#include <string_view>
#include <unistd.h>

int main()
{
    int fds[2];
    if (pipe(fds) != 0)
        return 1;
    FILE *in = fdopen(fds[0], "r");
    FILE *out = fdopen(fds[1], "w");
    const std::array<float, 4> samples{1.0f, -1.0f, 0.0f, 0.125f};
    for (const auto &[name, value] : {std::pair{"HEAD", "cxx"}, {"FORMAT", "FLOATSAM"}, {"TAIL", ""}})
        appendproperty(out, name, value);
    for (const float &s : samples)
        if (emitsample(&s, out) != 4)
            return 1;
    if (flushsamples(out) != 4)
        return 1;
    fclose(out);

    const Property *list = loadheader(in);
    if (list == nullptr || std::string_view(list->value) != "cxx")
        return 1;
    const StreamSlot &slot = streamtable[fileno(in)];
    const std::span held(slot.buffer + 4 * slot.samplepos, sizeof samples);
    if (slot.fill - slot.samplepos != 4 || std::memcmp(held.data(), samples.data(), held.size()) != 0)
        return 1;
    std::puts("roundtrip (C++): ok");
    return 0;
}
