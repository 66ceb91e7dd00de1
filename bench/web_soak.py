#!/usr/bin/env python3
"""Soak test of a running web server (outside CI): 10 clients, each on one
keep-alive connection, poll GETSTATUS and GETWERT0 five times a second for
ten minutes. Fails on any lost session (403), any other error status or any
connection error.

    bench/web_soak.py 127.0.0.1 80 [--clients 10] [--hz 5] [--minutes 10]
"""
import argparse
import http.client
import sys
import threading
import time


def client(host, port, hz, seconds, failures, index):
    conn = http.client.HTTPConnection(host, port, timeout=10)
    try:
        conn.request("GET", "/")
        page = conn.getresponse()
        page.read()
        cookie = (page.getheader("Set-Cookie") or "").split(";")[0]
        if page.status != 200 or not cookie.startswith("VELTARO="):
            failures.append(f"client {index}: start page {page.status}")
            return
        headers = {"Cookie": cookie, "Content-Length": "0"}
        end = time.monotonic() + seconds
        next_poll = time.monotonic()
        while time.monotonic() < end:
            for word in ("/GETSTATUS", "/GETWERT0"):
                conn.request("POST", word, headers=headers)
                answer = conn.getresponse()
                answer.read()
                if answer.status == 403:
                    failures.append(f"client {index}: session lost ({word})")
                    return
                if answer.status != 200:
                    failures.append(f"client {index}: {word} answered {answer.status}")
                    return
            next_poll += 1.0 / hz
            time.sleep(max(0.0, next_poll - time.monotonic()))
    except (OSError, http.client.HTTPException) as error:
        failures.append(f"client {index}: {error!r}")
    finally:
        conn.close()


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("host")
    parser.add_argument("port", type=int)
    parser.add_argument("--clients", type=int, default=10)
    parser.add_argument("--hz", type=float, default=5.0)
    parser.add_argument("--minutes", type=float, default=10.0)
    args = parser.parse_args()
    failures = []
    threads = [threading.Thread(target=client, args=(args.host, args.port, args.hz, args.minutes * 60, failures, i))
               for i in range(args.clients)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    for f in failures:
        print(f, file=sys.stderr)
    print("soak " + ("failed" if failures else "passed"))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
