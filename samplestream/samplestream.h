/*
 * samplestream.h - the sample stream library.
 *
 * A per-descriptor stream table, block output of 4-byte samples, and the
 * stream header: a list of named properties ("HEAD" ... "TAIL") that may
 * precede the samples of a stream and is handed on from standard input to
 * standard output when a program starts writing.
 *
 * Streams are named by stdio handles, but only their descriptor (fileno) is
 * used: every byte goes to the descriptor with read(2) and write(2), never
 * through the handle's own buffer.  A handle that is null, whose fileno
 * fails, or whose descriptor is not below MAX_STREAMS has no slot; every
 * operation on it fails (-1 or null) and touches no slot.
 *
 * The library is single-threaded: the table and the settings below are
 * plain process-wide variables.
 */
#ifndef SAMPLESTREAM_H
#define SAMPLESTREAM_H

#include <stdint.h>
#include <stdio.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Constants --------------------------------------------------------- */

enum {
    MAX_STREAMS = 256,   /* slots in streamtable; slot d is descriptor d */
    BUFFER_BYTES = 4096, /* size of a slot buffer and of a full block    */
    HEADER_NONE = 0,     /* no header known for the descriptor           */
    HEADER_PENDING = 1,  /* properties appended, header not yet written  */
    HEADER_DONE = 2,     /* header written on the descriptor or read     */
    PAD_BYTE = 255,      /* handed to emitbyte: pad to a sample boundary */
    MAX_SYMBOL = 1024    /* reader's buffer for one name or value + NUL  */
};

/* ---- Records ----------------------------------------------------------- */

/* One name/value pair of a header property list.  The strings are private
 * copies owned by the node; nodes are never released. */
typedef struct Property {
    char *name;
    char *value;
    struct Property *next;
    struct Property *prev;
} Property;

/* The state of one descriptor. */
typedef struct StreamSlot {
    unsigned char *buffer; /* BUFFER_BYTES bytes while ready, else null    */
    int32_t capacity;      /* samples per buffer, fixed at attachment      */
    int16_t samplepos;     /* next sample cell                             */
    int16_t bytepos;       /* next header byte                             */
    int16_t fill;          /* result of the last block transfer            */
    int16_t samplesize;    /* bytes per sample: 4, or 2 after a header     */
    int8_t headerstate;    /* HEADER_NONE, HEADER_PENDING or HEADER_DONE   */
    int8_t ready;          /* 1 while a buffer is attached                 */
    Property *properties;  /* first node of the property list, or null     */
} StreamSlot;

extern StreamSlot streamtable[MAX_STREAMS];
extern int16_t defaultsamplesize; /* initially 4 */
extern int8_t passthruoff;        /* initially 0 */

/* ---- Sample output ----------------------------------------------------- */

/* Appends the 4 bytes at sample, unchanged, to the stream's buffer.  On a
 * slot that is not ready it first sets the default size to 4 and calls
 * prepareoutput.  When the buffer is full it first writes the whole block
 * of BUFFER_BYTES, completing short writes and retrying EINTR.
 * Returns 4 when the sample was stored; -1 when the stream has no slot,
 * preparing it failed, or the slot's samples are not 4 bytes wide; the
 * block write's result (0 or negative) when writing a full block failed,
 * in which case the block stays and is tried again by the next call. */
int emitsample(const float *sample, FILE *stream);

/* Ends the output of a stream: drainstream.  Returns what it returns. */
int flushsamples(FILE *stream);

/* The same as flushsamples. */
int endsamples(FILE *stream);

/* Prepares a slot that is not ready (as emitsample does), writes the
 * buffered samplepos x samplesize bytes, releases the buffer and returns
 * the slot to fresh (headerstate and properties kept), so a later output
 * attaches a new buffer.  Returns -1 when the stream has no slot or
 * preparing it failed (the buffer is then kept); else the sample size when
 * the last transfer moved bytes, else that transfer's result: 0 when
 * nothing was ever written, negative when the final write failed. */
int drainstream(FILE *stream);

/* Sets a stream up for output: attaches its buffer, hands standard input's
 * header on when the stream is stdout itself, stdin's header was read,
 * stdout has no header of its own and passthruoff is 0, then writes a
 * pending header.  Returns 0, or -1 when any step failed. */
int prepareoutput(FILE *stream);

/* Attaches a BUFFER_BYTES buffer with the default sample size to a slot
 * that is not ready.  Returns 0 (also when already ready), or -1 when the
 * stream has no slot or no memory could be had. */
int attachbuffer(FILE *stream);

/* Sets defaultsamplesize.  Returns the new default, or -1 (default kept)
 * when size is not a positive divisor of BUFFER_BYTES. */
int setdefaultsize(int16_t size);

/* Switches the hand-off of standard input's header off or on again.
 * Returns the new passthruoff: 1 when suppressed, 0 when allowed. */
int togglepassthru(void);

/* ---- Stream headers ---------------------------------------------------- */

/* Reads the header of in and writes it on out.  Returns 0 when copied and
 * also when in has no header (out untouched); -1 when a stream is missing
 * or has no slot, both are one descriptor, or installing on out failed. */
int copyheader(FILE *in, FILE *out);

/* Appends copies of every pair of list to out's list, then emitheader.
 * Returns 0 on success; -1 when an argument is missing, an append fails
 * (pairs appended before it stay) or writing fails. */
int installheader(const Property *list, FILE *out);

/* Writes the slot's property list followed by pad bytes to the next sample
 * boundary, through the slot buffer, and makes the slot HEADER_DONE.
 * Returns 0 when written now or already before; -1 when the slot is
 * HEADER_NONE, already holds buffered samples (nothing is written), or a
 * write failed. */
int emitheader(FILE *stream);

/* Writes one pair: name, 0x00, value, 0x00, every byte literally.
 * Returns 0, or -1 when the node, its name or its value is missing or a
 * write failed. */
int emitproperty(const Property *prop, FILE *stream);

/* Reads a header from the start of an input stream.  Returns the slot's
 * list when the stream carries a header (then samplepos is the first whole
 * sample after it and fill counts the whole samples in the block held),
 * or when one was read before; null otherwise: no slot, no memory, an
 * empty input, or no valid header (then samplesize is the default and fill
 * counts the whole samples of the block read). */
Property *loadheader(FILE *stream);

/* Reads pairs until the "TAIL" pair.  Returns the number of pairs before
 * it, or -1 on an error. */
int loadproperties(FILE *stream);

/* Reads one pair and appends it.  Returns 1 for a pair, 0 for the "TAIL"
 * pair (whose sample size is then adopted), -1 on end of input, a read
 * error, a symbol of MAX_SYMBOL bytes or more (with the message
 * "symbol too long: %s\n" on stderr) or a failed append. */
int loadproperty(FILE *stream);

/* Delivers the next input byte of a slot that loadheader attached, reading
 * a new block when the held one is used up.  Returns the sample size when
 * a byte was delivered; otherwise the read result (0 at the end of input,
 * negative on error); -1 when the stream has no slot or buffer. */
int nextbyte(unsigned char *out, FILE *stream);

/* Switches an input slot to size-byte samples: fill becomes whole samples
 * and samplepos the first whole sample at or after bytepos.  Sizes that
 * are not positive divisors of BUFFER_BYTES are ignored. */
void adoptsamplesize(FILE *stream, int16_t size);

/* Appends a node with copies of name and value to the end of the list and
 * makes the slot HEADER_PENDING unless it is HEADER_DONE.  Returns 0, or
 * -1 when an argument is missing or memory ran out (list unchanged). */
int appendproperty(FILE *stream, const char *name, const char *value);

/* Writes one byte through the slot buffer, attaching it when not ready;
 * PAD_BYTE (low 8 bits 255) instead pads to the sample boundary that the
 * list's "FORMAT" gives.  A full block is written out.  Returns 1; -1 when
 * no buffer could be attached; the write result (0 or negative) when
 * writing a full block failed (the block is dropped). */
int emitbyte(int c, FILE *stream);

/* Returns the value of the first property named name, or null. */
const char *propertyvalue(FILE *stream, const char *name);

/* Returns the first node named name, or null when there is none or an
 * argument is missing. */
Property *findproperty(FILE *stream, const char *name);

/* Returns a new node owning copies of name and value, links null, or null
 * when an argument is missing or an allocation fails. */
Property *makeproperty(const char *name, const char *value);

#ifdef __cplusplus
}
#endif

#endif /* SAMPLESTREAM_H */
