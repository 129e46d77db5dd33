/*
 * print_receipt: sells two articles on a fiscal receipt through libkordal.
 *
 * The shortest complete use of the library: open the port, open a receipt,
 * sell, pay, close, close the port. Every command returns a result code (0 when
 * the printer's reply arrived intact) and fills two buffers you own: the reply
 * data and the eight status bytes S0..S7, which tell whether the printer did
 * the work.
 *
 *   KORDAL_COM1=/tmp/fpsim/COM1 ./print_receipt
 */
#include <stdio.h>
#include <string.h>

#include "kordal.h"

enum {
  PORT = 1,
  CMD_OPEN_RECEIPT = 7,
  CMD_CLOSE_RECEIPT = 11,
  CMD_STATUS = 14,
  DATA_SIZE = 251, /* at least 246 */
  STATUS_SIZE = 10 /* at least 8 */
};

/* Status bits that mean "the printer did not do it". */
static int printer_refused(const unsigned char* s) {
  return (s[1] & 0x24) || (s[2] & 0x0C) || (s[3] & 0x60) || (s[4] & 0x38) || (s[5] & 0x03);
}

/* Checks one command's outcome; prints why it failed. */
static int ok(const char* what, int result, const char* status) {
  const unsigned char* s = (const unsigned char*)status;
  if (result != KORDAL_OK) {
    fprintf(stderr, "%s: library result %d\n", what, result);
    return 0;
  }
  if (printer_refused(s)) {
    fprintf(stderr, "%s: printer status %02X %02X %02X %02X %02X %02X %02X %02X\n", what, s[0],
            s[1], s[2], s[3], s[4], s[5], s[6], s[7]);
    return 0;
  }
  return 1;
}

int main(void) {
  char data[DATA_SIZE];
  char status[STATUS_SIZE];
  int port = InitializeazaSerialaNr(PORT);
  if (port != PORT) {
    fprintf(stderr, "cannot open port %d (result %d); is KORDAL_COM1 set?\n", PORT, port);
    return 1;
  }

  memset(status, ' ', sizeof status);
  if (!ok("status", TrimiteTelegrama(port, "", CMD_STATUS, data, status), status)) goto fail;

  /* Open a fiscal receipt; the reply data is its number. */
  if (!ok("open receipt", TrimiteTelegrama(port, "\x01\x01", CMD_OPEN_RECEIPT, data, status),
          status))
    goto fail;
  printf("receipt %s opened\n", data);

  /* Name, VAT group, quantity, sign and unit price (whole price units),
     optionally ",PPHH" for a percentage (",-0500" is a 5 % discount). */
  if (!ok("sale 1", VanzareAfisareMarfa(port, "PAINE ALBA", 'A', "2", "+250", "          ", data,
                                        status),
          status))
    goto fail;
  if (!ok("sale 2", VanzareAfisareMarfa(port, "LAPTE 1L", 'B', "1.5", "+600,-0500",
                                        "          ", data, status),
          status))
    goto fail;

  /* Pay: the reply starts with "D" while something is left to pay and "R" when paid. */
  if (!ok("payment", CalculTotal(port, "", "C2000", data, status), status)) goto fail;
  printf("payment answered %s\n", data);

  /* Close the receipt; repeat while the printer still reports it open (S5 0x10). */
  do {
    if (!ok("close", TrimiteTelegrama(port, "", CMD_CLOSE_RECEIPT, data, status), status))
      goto fail;
  } while (((unsigned char)status[5]) & 0x10);

  printf("receipt closed\n");
  InchidePort(port);
  return 0;

fail:
  InchidePort(port);
  return 1;
}
