/* The public header compiled as C11: write a header and samples into a
 * pipe and read them back. */
#include <samplestream.h>

#include <stdio.h>
#include <string.h>
#include <unistd.h>

static int check(int ok, const char *what)
{
    if (!ok)
        fprintf(stderr, "failed: %s\n", what);
    return ok ? 0 : 1;
}

int main(void)
{
    int fds[2];
    if (pipe(fds) != 0)
        return 1;
    FILE *in = fdopen(fds[0], "r");
    FILE *out = fdopen(fds[1], "w");
    const float samples[3] = {0.5f, -1.0f, 2.0f};
    int failed = 0;

    failed += check(appendproperty(out, "HEAD", "c") == 0, "append HEAD");
    failed += check(appendproperty(out, "FORMAT", "FLOATSAM") == 0, "append FORMAT");
    failed += check(appendproperty(out, "TAIL", "") == 0, "append TAIL");
    for (int i = 0; i < 3; ++i)
        failed += check(emitsample(&samples[i], out) == 4, "emitsample");
    failed += check(flushsamples(out) == 4, "flushsamples");
    fclose(out);

    const Property *list = loadheader(in);
    failed += check(list != NULL && strcmp(list->name, "HEAD") == 0, "loadheader");
    failed +=
        check(propertyvalue(in, "FORMAT") != NULL && strcmp(propertyvalue(in, "FORMAT"), "FLOATSAM") == 0,
              "FORMAT value");
    const StreamSlot *slot = &streamtable[fileno(in)];
    failed += check(slot->samplesize == 4 && slot->samplepos == 8 && slot->fill == 11, "cursors");
    failed += check(memcmp(slot->buffer + 4 * slot->samplepos, samples, sizeof samples) == 0, "samples");
    fclose(in);
    return failed == 0 ? 0 : 1;
}
