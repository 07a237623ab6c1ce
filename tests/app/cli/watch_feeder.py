#!/usr/bin/env python3
"""Call-manager nodes uploading CDR files into a folder as an SFTP server writes them.

Each node uploads one file every period: opened, written in pieces of 32 KiB with pauses between
them, closed. Every third file of a node is written under a hidden name (.name.part, as rsync and
many clients do) and every third of an odd node as name.filepart (WinSCP), and renamed into place
when complete. Each line of the manifest gives a file's name, the time its upload completed
(seconds since the epoch), the SHA-256 of its bytes and the time just before the upload's last
step (its close, or its rename into place): no output of the file may exist before then.

Usage: watch_feeder.py FOLDER MANIFEST --nodes N --every SECONDS --seconds SECONDS
                       [--records FIRST,LAST] [--seed N]
"""
import argparse
import hashlib
import os
import random
import threading
import time

PIECE = 32 * 1024

COLUMNS = ("cdrRecordType,globalCallID_callManagerId,globalCallID_callId,origLegCallIdentifier,"
           "dateTimeOrigination,origNodeId,origSpan,origIpAddr,callingPartyNumber,"
           "origCause_location,origCause_value,destLegIdentifier,destNodeId,destIpAddr,"
           "originalCalledPartyNumber,finalCalledPartyNumber,destCause_location,destCause_value,"
           "dateTimeConnect,dateTimeDisconnect,lastRedirectDn,pkid,duration,"
           "origDeviceName,destDeviceName,comment")
TYPES = ("INTEGER,INTEGER,INTEGER,INTEGER,INTEGER,INTEGER,INTEGER,INTEGER,VARCHAR(50),INTEGER,"
         "INTEGER,INTEGER,INTEGER,INTEGER,VARCHAR(50),VARCHAR(50),INTEGER,INTEGER,INTEGER,"
         "INTEGER,VARCHAR(50),UNIQUEIDENTIFIER,INTEGER,VARCHAR(129),VARCHAR(129),VARCHAR(50)")


def cdr_file(node, sequence, records, rng):
    lines = [COLUMNS, TYPES]
    start = 1796619600 + sequence * 60
    for record in range(records):
        origination = start + rng.randrange(60)
        connected = rng.random() > 0.1
        duration = rng.randrange(1, 3600) if connected else 0
        connect = origination + rng.randrange(1, 20) if connected else 0
        disconnect = (connect or origination) + duration
        lines.append(",".join(str(value) for value in (
            1, node, sequence * 10000 + record, 16777216 + record, origination, node, 0,
            -1062731510 - node, f"+1555{rng.randrange(10**7):07d}", 0, 16, 16777217 + record,
            node, -1062731400, f"{rng.randrange(1000, 9999)}", f"{rng.randrange(1000, 9999)}", 0,
            16 if connected else 19, connect, disconnect, "",
            f"{rng.getrandbits(128):032x}", duration, f"SEP{rng.getrandbits(48):012X}",
            f"SEP{rng.getrandbits(48):012X}", '"node %d, ""call"" %d"' % (node, record))))
    return ("\r\n".join(lines) + "\r\n").encode()


def upload(folder, name, data, style, rng):
    final = os.path.join(folder, name)
    written = {"hidden": os.path.join(folder, "." + name + ".part"),
               "filepart": final + ".filepart"}.get(style, final)
    with open(written, "wb", buffering=0) as file:
        for offset in range(0, len(data), PIECE):
            file.write(data[offset:offset + PIECE])
            time.sleep(rng.uniform(0, 0.01))
        last_step = time.time()
    if written != final:
        last_step = time.time()
        os.rename(written, final)
    return time.time(), last_step


def node(arguments, number, manifest, lock):
    rng = random.Random(arguments.seed * 1000 + number)
    first, last = arguments.records
    start = time.monotonic()
    sequence = 0
    while time.monotonic() - start < arguments.seconds:
        name = f"cdr_StandAloneCluster_{number:02d}_{sequence:06d}"
        data = cdr_file(number, sequence, rng.randint(first, last), rng)
        style = ("hidden", "filepart" if number % 2 else "hidden", "plain")[sequence % 3]
        done, last_step = upload(arguments.folder, name, data, style, rng)
        with lock:
            manifest.write(f"{name} {done:.6f} {hashlib.sha256(data).hexdigest()} "
                           f"{last_step:.6f}\n")
            manifest.flush()
        sequence += 1
        next_start = start + sequence * arguments.every
        time.sleep(max(0.0, next_start - time.monotonic()))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("folder")
    parser.add_argument("manifest")
    parser.add_argument("--nodes", type=int, default=8)
    parser.add_argument("--every", type=float, default=0.1)
    parser.add_argument("--seconds", type=float, default=60)
    parser.add_argument("--records", type=lambda text: tuple(map(int, text.split(","))),
                        default=(100, 400))
    parser.add_argument("--seed", type=int, default=1)
    arguments = parser.parse_args()
    lock = threading.Lock()
    with open(arguments.manifest, "w") as manifest:
        threads = [threading.Thread(target=node, args=(arguments, number, manifest, lock))
                   for number in range(1, arguments.nodes + 1)]
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join()


if __name__ == "__main__":
    main()
