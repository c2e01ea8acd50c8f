#!/usr/bin/env bash
# Starts cupsd when it is not running and makes a cups-pdf queue the default
# printer, so that print tests can find each job as a PDF file. Works on a clean
# machine as root (or as a user with sudo) and can be run any number of times.
#
# Where the PDFs go: cups-pdf writes each job into the folder given by "Out" in
# /etc/cups/cups-pdf.conf, expanded for the user who submitted the job. This
# script sets it to /var/spool/cups-pdf/${USER} (so a root job lands in
# /var/spool/cups-pdf/root) and labels every job with its id, so each job gets
# a file of its own ("<title>...-job_<id>.pdf", e.g. Pagora_Pro_document...-job_12.pdf)
# instead of overwriting the previous job of the same title. The user's folder is
# made here too, so it is there before the first job.
set -euo pipefail

queue=PagoraPDF
conf=/etc/cups/cups-pdf.conf
spool=/var/spool/cups-pdf

SUDO=""
[[ $(id -u) -eq 0 ]] || SUDO="sudo"

if ! command -v cupsd >/dev/null 2>&1 && [[ ! -x /usr/sbin/cupsd ]]; then
  echo "cupsd is not installed: run scripts/install-deps.sh --test first." >&2
  exit 1
fi
if [[ ! -x /usr/lib/cups/backend/cups-pdf ]]; then
  echo "The cups-pdf backend is not installed (printer-driver-cups-pdf)." >&2
  exit 1
fi

# Sets "key value" in cups-pdf.conf, replacing an active line or adding one;
# leaves the file alone when it already says so.
set_pdf_key() {
  local key=$1 value=$2
  if grep -qxF "$key $value" "$conf"; then
    return
  fi
  if grep -qE "^${key}[[:space:]]" "$conf"; then
    $SUDO sed -i -E "s|^${key}[[:space:]].*|${key} ${value}|" "$conf"
  else
    printf '%s %s\n' "$key" "$value" | $SUDO tee -a "$conf" >/dev/null
  fi
}

[[ -f "$conf" ]] || $SUDO touch "$conf"
# cups-pdf reads its configuration for every job: no restart needed.
set_pdf_key Out "${spool}/\${USER}"
set_pdf_key Label 2
$SUDO mkdir -p "$spool"
$SUDO chmod 0755 "$spool"
# cups-pdf makes a user's folder at that user's first job only, and the print
# tests look for it before printing: make it now for whoever runs the tests (the
# caller, and the user behind sudo), owned and private as cups-pdf makes it.
users=("$(id -un)")
[[ -n "${SUDO_USER:-}" && "${SUDO_USER}" != "$(id -un)" ]] && users+=("$SUDO_USER")
for user in "${users[@]}"; do
  $SUDO install -d -m 0700 -o "$user" -g "$(id -gn "$user")" "${spool}/${user}"
done

# "lpstat -r" exits 0 either way: its text tells.
running() { LC_ALL=C lpstat -r 2>/dev/null | grep -q '^scheduler is running'; }

if ! running; then
  $SUDO mkdir -p /run/cups /var/spool/cups/tmp /var/log/cups
  if command -v systemctl >/dev/null 2>&1 && [[ -d /run/systemd/system ]] \
    && $SUDO systemctl start cups >/dev/null 2>&1; then
    :
  else
    # Without systemd (containers): cupsd detaches by itself.
    $SUDO /usr/sbin/cupsd
  fi
  for _ in $(seq 100); do
    running && break
    sleep 0.1
  done
  if ! running; then
    echo "cupsd did not start; see /var/log/cups/error_log." >&2
    exit 1
  fi
fi

if ! lpstat -p "$queue" >/dev/null 2>&1; then
  ppd=""
  for candidate in /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd \
    /usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd; do
    if [[ -f "$candidate" ]]; then
      ppd=$candidate
      break
    fi
  done
  if [[ -n "$ppd" ]]; then
    $SUDO lpadmin -p "$queue" -E -v cups-pdf:/ -P "$ppd"
  else
    $SUDO lpadmin -p "$queue" -E -v cups-pdf:/ -m lsb/usr/cups-pdf/CUPS-PDF_opt.ppd
  fi
fi
# The queue's own default wins over cups-pdf.conf: label there too.
$SUDO lpadmin -p "$queue" -o Label=2 >/dev/null 2>&1 || true
$SUDO cupsenable "$queue" >/dev/null 2>&1 || true
$SUDO cupsaccept "$queue" >/dev/null 2>&1 || true
$SUDO lpadmin -d "$queue"

echo "CUPS is running; default printer $queue writes PDFs to ${spool}/$(id -un)"
