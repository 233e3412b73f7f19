/* Writes a header and samples into a pipe and reads them back. */
#define _POSIX_C_SOURCE 200809L /* fdopen, fileno, pipe */
#include <samplestream.h>

#include <string.h>
#include <unistd.h>

int main(void)
{
    int fds[2];
    if (pipe(fds) != 0)
        return 1;
    FILE *in = fdopen(fds[0], "r");
    FILE *out = fdopen(fds[1], "w");
    const float samples[3] = {0.25f, -0.5f, 1.0f};
    appendproperty(out, "HEAD", "");
    appendproperty(out, "FORMAT", "FLOATSAM");
    appendproperty(out, "RATE", "48000");
    appendproperty(out, "TAIL", "");
    for (int i = 0; i < 3; ++i)
        if (emitsample(&samples[i], out) != 4)
            return 1;
    if (flushsamples(out) != 4)
        return 1;
    fclose(out);

    if (loadheader(in) == NULL || strcmp(propertyvalue(in, "RATE"), "48000") != 0)
        return 1;
    const StreamSlot *slot = &streamtable[fileno(in)];
    if (slot->samplesize != 4 || slot->fill - slot->samplepos != 3)
        return 1;
    if (memcmp(slot->buffer + 4 * slot->samplepos, samples, sizeof samples) != 0)
        return 1;
    puts("roundtrip (C): ok");
    return 0;
}
