#!/usr/bin/env bash
# Converts 300 generated invoices (some broken) with convert-batch --hosts across two OpenSSH
# servers of this test's own on 127.0.0.1, and checks every output, log line and status against
# a run on this machine alone; then stops one server while a batch runs, and interrupts a batch
# and resumes it. Skips (77) with the reason where sshd, rsync or GNU parallel is missing or a
# server cannot be started.
#
#   check_convert_batch_hosts.sh SOURCE_DIR RUVO
#
# The servers listen on free unprivileged ports, with host and user keys made here and a
# configuration that lets in only that key; they are stopped by their process ids at the end,
# whatever the result. Their sessions get a HOME of their own here, so that no start-up file of
# the account (a .bashrc) slows or changes them. Jobs run in the login folder's .parallel/tmp, as GNU parallel puts them;
# what this test's jobs leave there is removed.
set -uo pipefail

source=$1
ruvo=$2
here=$(dirname "$0")
count=300
broken_every=23  # 13 invoices are not well-formed

skip() {
  echo "SKIPPED: $*"
  exit 77
}
sshd=/usr/sbin/sshd
[ -x "$sshd" ] || skip "no $sshd (Debian package openssh-server)"
for tool in ssh ssh-keygen rsync parallel python3; do
  command -v "$tool" > /dev/null || skip "$tool is not installed"
done

scratch=$(mktemp -d)
user=$(id -un)
jobs_home="$(getent passwd "$user" | cut -d: -f6)/.parallel/tmp"
mkdir -p "$jobs_home" 2> /dev/null
jobs_before=$(ls -A "$jobs_home" 2> /dev/null)
made_privsep=
servers=()

# A server's own process and every process it started (the sessions of its logins).
stop_server() {  # PID
  local pid=$1 child
  for child in $(ps -o pid= --ppid "$pid"); do
    stop_server "$child"
  done
  kill -KILL "$pid" 2> /dev/null
}
cleanup() {
  local pid entry
  for pid in "${servers[@]}"; do
    stop_server "$pid"
  done
  # The job folders of this test's runs: those that were not there before it.
  for entry in $(ls -A "$jobs_home" 2> /dev/null); do
    grep -qxF -- "$entry" <<< "$jobs_before" || rm -rf "${jobs_home:?}/$entry"
  done
  [ -z "$made_privsep" ] || rmdir /run/sshd 2> /dev/null
  rm -rf "$scratch"
}
trap cleanup EXIT

# sshd run by root wants its privilege separation folder, which its service would make.
if [ "$(id -u)" -eq 0 ] && [ ! -d /run/sshd ]; then
  mkdir -m 755 /run/sshd || skip "cannot make /run/sshd"
  made_privsep=1
fi

keys=$scratch/keys
mkdir -m 700 "$keys"
ssh-keygen -q -t ed25519 -N '' -f "$keys/host" || skip "ssh-keygen failed"
ssh-keygen -q -t ed25519 -N '' -f "$keys/user" || skip "ssh-keygen failed"
cp "$keys/user.pub" "$keys/authorized_keys"
bin=$(cd "$(dirname "$ruvo")" && pwd -P)
: > "$keys/known_hosts"
# The catch-all block sets no port: each server's own block, added below, gives it.
{
  echo "Host *"
  echo "  HostName 127.0.0.1"
  echo "  User $user"
  echo "  IdentityFile $keys/user"
  echo "  IdentitiesOnly yes"
  echo "  BatchMode yes"
  echo "  StrictHostKeyChecking yes"
  echo "  UserKnownHostsFile $keys/known_hosts"
} > "$scratch/ssh_config"

free_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# Starts server NAME on a free port, reachable as host NAME; its pid goes into servers[INDEX].
start_server() {  # NAME INDEX [PORT]
  local name=$1 index=$2 port=${3:-} tries
  mkdir -p "$scratch/home-$name"
  for tries in 1 2 3; do
    [ -n "${3:-}" ] || port=$(free_port)
    cat > "$scratch/$name.conf" << EOF
ListenAddress 127.0.0.1
Port $port
HostKey $keys/host
AuthorizedKeysFile $keys/authorized_keys
AuthenticationMethods publickey
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
AllowUsers $user
UsePAM no
StrictModes no
PidFile none
SetEnv PATH=$bin:/usr/bin:/bin HOME=$scratch/home-$name
EOF
    "$sshd" -D -f "$scratch/$name.conf" -E "$scratch/$name.log" &
    servers[$index]=$!
    disown "$!"  # stopped here, by its pid: the shell need not report it
    local waited
    for waited in $(seq 50); do
      if ssh -F "$scratch/ssh_config" -o Port="$port" -o StrictHostKeyChecking=no \
          -o UserKnownHostsFile=/dev/null "$name" true 2> /dev/null; then
        grep -q "^Host $name\$" "$scratch/ssh_config" ||
          printf 'Host %s\n  Port %s\n' "$name" "$port" >> "$scratch/ssh_config"
        echo "[127.0.0.1]:$port $(cat "$keys/host.pub")" >> "$keys/known_hosts"
        return 0
      fi
      kill -0 "${servers[$index]}" 2> /dev/null || break
      sleep 0.1
    done
    stop_server "${servers[$index]}"
  done
  return 1
}
start_server conv1 0 || skip "sshd would not start: $(tail -3 "$scratch/conv1.log" 2> /dev/null)"
start_server conv2 1 || skip "sshd would not start: $(tail -3 "$scratch/conv2.log" 2> /dev/null)"
port2=$(awk '/^Host conv2$/ { getline; print $2 }' "$scratch/ssh_config")
export PARALLEL_SSH="ssh -F $scratch/ssh_config"

"$here/make_invoices.sh" "$count" "$scratch" "$broken_every" || exit 1
# The variables a template names reach the conversions on every host.
echo 'Operador: <<%RUVO_OPERADOR%>>' >> "$scratch/template.txt"
export RUVO_OPERADOR=lote-remoto
failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
convert() {  # OUTPUT_DIR [OPTION...]: the batch's status; stdout and stderr beside OUTPUT_DIR
  local out=$1
  shift
  "$source/scripts/convert-batch" -r "$ruvo" "$@" "$scratch/in" "$scratch/template.txt" \
    "$scratch/Ruvo.cfg" "$out" > "$out.stdout" 2> "$out.stderr"
}
# Every file of the folder but the batch's lock, with the run logs' time stamps taken out.
contents() {  # DIR
  (cd "$1" && find . -type f ! -name .ruvo-batch.lock | LC_ALL=C sort |
    while IFS= read -r file; do
      echo "== $file"
      sed 's/^[0-9]\{8\}-[0-9]\{9\}:/TIME:/' "$file"
    done)
}
same_as_local() {  # DIR WHAT
  diff <(contents "$scratch/local") <(contents "$1") > "$scratch/diff" ||
    fail "$2: not what one machine gives: $(head -20 "$scratch/diff")"
}
seconds() {
  echo "$EPOCHREALTIME"
}

# One machine, then both hosts: the same outputs, logs, statuses, summary and exit status.
start=$(seconds)
convert "$scratch/local"
local_status=$?
local_time=$(python3 -c "print($(seconds) - $start)")
start=$(seconds)
convert "$scratch/hosts" --hosts 2/conv1,2/conv2
hosts_status=$?
hosts_time=$(python3 -c "print($(seconds) - $start)")
[ "$local_status" -eq 1 ] || fail "one machine: status $local_status, expected 1"
[ "$hosts_status" -eq 1 ] || fail "two hosts: status $hosts_status: $(cat "$scratch/hosts.stderr")"
same_as_local "$scratch/hosts" "two hosts"
grep -q "^Operador: lote-remoto" "$scratch/hosts/invoice-001.txt" ||
  fail "two hosts: the template's variable did not reach the conversion"
[ "$(sort "$scratch/hosts.stdout")" = "$(sort "$scratch/local.stdout")" ] ||
  fail "two hosts printed other status lines"
[ "$(cat "$scratch/hosts.stderr")" = "$(cat "$scratch/local.stderr")" ] ||
  fail "two hosts' summary: $(cat "$scratch/hosts.stderr")"
for name in conv1 conv2; do
  grep -q "Accepted publickey for $user" "$scratch/$name.log" || fail "no job ran on $name"
done
left=$(comm -13 <(echo "$jobs_before" | sort) <(ls -A "$jobs_home" | sort) | grep -v '^sshlogin$')
[ -z "$left" ] || fail "jobs left their folders: $left"
printf 'figures: %d documents: one machine %.2f s (%.0f/s), two hosts %.2f s (%.0f/s)\n' "$count" \
  "$local_time" "$(python3 -c "print($count / $local_time)")" "$hosts_time" \
  "$(python3 -c "print($count / $hosts_time)")"

# A host stopped midway: its jobs run again on the other, and every document is reported once.
(convert "$scratch/dropped" --hosts 2/conv1,2/conv2) &
batch=$!
for waited in $(seq 300); do
  [ ! -s "$scratch/dropped.stdout" ] || break
  sleep 0.02
done
stop_server "${servers[1]}"
wait "$batch"
dropped_status=$?
[ "$dropped_status" -eq 1 ] || fail "host stopped: status $dropped_status"
same_as_local "$scratch/dropped" "host stopped"
[ "$(sort "$scratch/dropped.stdout")" = "$(sort "$scratch/local.stdout")" ] ||
  fail "host stopped: the status lines are not each document once"
grep -q "hosts that failed.*conv2" "$scratch/dropped.stderr" ||
  fail "host stopped: the summary does not name conv2: $(cat "$scratch/dropped.stderr")"

# Interrupted, then resumed: what the interrupted batch finished is not converted again.
start_server conv2 1 "$port2" || fail "conv2 would not start again"
set -m
convert "$scratch/resumed" --hosts 1/conv1,1/conv2 &
batch=$!
set +m
for waited in $(seq 500); do
  [ "$({ wc -l < "$scratch/resumed/status.tsv"; } 2> /dev/null || echo 0)" -lt 60 ] || break
  sleep 0.02
done
kill -INT -- "-$batch"
wait "$batch"
sleep 0.5  # the jobs' ssh connections end
declare -A before=()
finished=0
while IFS=$'\t' read -r file status; do
  [ "$status" = 0 ] || continue
  output=$scratch/resumed/${file%.xml}.txt
  [ -f "$output" ] || continue
  before[$file]=$(stat -c %Y.%y "$output")
  finished=$((finished + 1))
done < "$scratch/resumed/status.tsv"
[ "$finished" -gt 0 ] && [ "$finished" -lt "$((count - count / broken_every))" ] ||
  fail "interrupted: $finished documents finished, expected some but not all"
convert "$scratch/resumed" --resume --hosts 1/conv1,1/conv2
[ $? -eq 1 ] || fail "resumed: status $?: $(cat "$scratch/resumed.stderr")"
same_as_local "$scratch/resumed" "resumed"
for file in "${!before[@]}"; do
  [ "$(stat -c %Y.%y "$scratch/resumed/${file%.xml}.txt")" = "${before[$file]}" ] ||
    fail "resumed: $file was converted again"
done
[ "$(sort "$scratch/resumed.stdout")" = "$(sort "$scratch/local.stdout")" ] ||
  fail "resumed: the status lines are not each document once"
echo "interrupted after $finished documents; the resumed batch converted the rest"

[ "$failures" -eq 0 ] || exit 1
echo "convert-batch across two SSH hosts: outputs, logs and statuses as on one machine"
