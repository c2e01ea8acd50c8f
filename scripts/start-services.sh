#!/usr/bin/env bash
# Starts cupsd when it is not running and makes a cups-pdf queue the default
# printer, so that print tests can find each job as a PDF file.
set -euo pipefail

if ! lpstat -r >/dev/null 2>&1; then
  if command -v systemctl >/dev/null 2>&1 && systemctl start cups >/dev/null 2>&1; then
    :
  else
    /usr/sbin/cupsd
  fi
  for _ in $(seq 50); do lpstat -r >/dev/null 2>&1 && break; sleep 0.2; done
fi

if ! lpstat -p PagoraPDF >/dev/null 2>&1; then
  lpadmin -p PagoraPDF -E -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd 2>/dev/null \
    || lpadmin -p PagoraPDF -E -v cups-pdf:/ -m everywhere 2>/dev/null \
    || lpadmin -p PagoraPDF -E -v cups-pdf:/
fi
cupsenable PagoraPDF >/dev/null 2>&1 || true
cupsaccept PagoraPDF >/dev/null 2>&1 || true
lpadmin -d PagoraPDF
