# SPDX-License-Identifier: MIT
# Reads QEMU's trace of a guest-init run and checks every disk's commands phase by phase.
# Phase K runs from marker K to marker K+1; marker K is a READ(10) of block (K+1)*2048.
# In the phases listed in `rises` (comma separated) every disk must get exactly one stop
# command: ATA STANDBY IMMEDIATE (E0h) on IDE, START STOP UNIT (1Bh) with START and LOEJ clear
# on SCSI. Other commands are counted apart and allowed in those phases: the stop tool's state
# query (CHECK POWER MODE E5h on IDE; ATA PASS-THROUGH and REQUEST SENSE on SCSI) and its cache
# flush (FLUSH CACHE E7h; SYNCHRONIZE CACHE 35h) before each stop; a second stop command would
# still show. In every other phase no disk may get any command at all. Commands before the
# first marker (boot) and after the last one (the kernel's own flush and standby at power-off)
# are not looked at.
# Variables: marks (number of markers), rises, ide_disks, scsi_disks (disks attached).

function hex(text, value, i, digit) {
  text = tolower(text)
  sub(/^0x/, "", text)
  value = 0
  for (i = 1; i <= length(text); i++) {
    digit = index("0123456789abcdef", substr(text, i, 1))
    if (digit == 0) break
    value = value * 16 + digit - 1
  }
  return value
}

function count(device, stop) {
  if (phase < 0 || phase >= marks - 1) return
  active[device] = 1
  if (stop) stops[phase, device]++
  else others[phase, device]++
}

BEGIN {
  phase = -1
  split(rises, rise_list, ",")
  for (i in rise_list) rise[rise_list[i]] = 1
}

$1 == "ide_exec_cmd" {
  state = $8
  sub(/;$/, "", state)
  device = "ide " state
  command = hex($10)
  if (command == 236) disk[device] = "ide"  # IDENTIFY DEVICE: an ATA disk answers here
  count(device, command == 224)
}

$1 == "scsi_req_parsed" {
  device = "scsi target " $3 " lun " $5
  target_of_tag[$7] = device
  # START STOP UNIT is counted once its command block shows whether it stops.
  if ($9 != 27) count(device, 0)
}

# A marker: take back the count of its own READ(10), then enter the next phase.
$1 == "scsi_req_parsed_lba" && $9 == 40 && $11 == (phase + 2) * 2048 {
  device = "scsi target " $3 " lun " $5
  if (phase >= 0 && phase < marks - 1) others[phase, device]--
  phase++
}

$1 == "scsi_disk_new_request" {
  tag = $4
  sub(/^tag=/, "", tag)
  device = target_of_tag[hex(tag)]
  disk[device] = "scsi"
  if (hex($6) == 27) count(device, hex($10) % 4 == 0)  # START and LOEJ are bits 0 and 1
}

END {
  if (phase + 1 != marks) {
    printf "FAIL: %d of %d markers in the trace\n", phase + 1, marks
    exit 1
  }
  failed = 0
  for (device in disk) found[disk[device]]++
  if (found["ide"] != ide_disks || found["scsi"] != scsi_disks) {
    printf "FAIL: found %d IDE and %d SCSI disks, expected %d and %d\n", found["ide"],
      found["scsi"], ide_disks, scsi_disks
    failed = 1
  }
  for (device in active) {
    if (!(device in disk)) {
      printf "FAIL: commands to %s, which is not a disk\n", device
      failed = 1
    }
  }
  for (k = 0; k < marks - 1; k++) {
    printf "phase %d (%s):", k, (k in rise) ? "rise" : "no rise"
    for (device in disk) {
      s = stops[k, device] + 0
      o = others[k, device] + 0
      printf "  %s: %d stop, %d other;", device, s, o
      if ((k in rise) ? s != 1 : s + o != 0) failed = 1
    }
    printf "\n"
  }
  if (failed) {
    print "FAIL: a disk did not get exactly one stop per rise and nothing otherwise"
    exit 1
  }
  print "every disk got one stop per rise and no other command between them"
}
