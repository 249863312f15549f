#!/usr/bin/env python3
"""A tiny CDDB server over HTTP on the loopback interface, for trying the CDDB lookup by hand
(the window's "CDDB" button, or sonquil-cli cd-import --cddb) without the network.

    tests/cdimport/cddb_server.py [--port 8880] [--matches 2] [--tracks 4]

Then set "Freedb Server" to 127.0.0.1 and "Port" to the port in "CDDB Settings..." (or write
CDDBPrefs.dat with those values). Whatever disc is asked about, the server answers with the
given number of matches ("Artist N / Album N", categories rock, jazz, misc, ...) and, for a
read, a record naming the tracks "Title of track K" (TTITLE0 left empty and TTITLE3 over two
lines, as awkward records do), with DYEAR and DGENRE. Each request is printed.
"""
import argparse
import http.server
import urllib.parse

CATEGORIES = ["rock", "jazz", "misc", "folk", "blues"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=8880)
    parser.add_argument("--matches", type=int, default=2)
    parser.add_argument("--tracks", type=int, default=4)
    args = parser.parse_args()

    class Handler(http.server.BaseHTTPRequestHandler):
        def do_GET(self):
            query = urllib.parse.parse_qs(urllib.parse.urlparse(self.path).query)
            cmd = query.get("cmd", [""])[0].split()
            print(" ".join(cmd), flush=True)
            if cmd[:2] == ["cddb", "query"] and len(cmd) > 2:
                disc = cmd[2]
                lines = ["210 Found exact matches, list follows (until terminating `.')"]
                for m in range(args.matches):
                    lines.append(f"{CATEGORIES[m % len(CATEGORIES)]} {disc} Artist {m + 1} / Album {m + 1}")
                lines.append(".")
            elif cmd[:2] == ["cddb", "read"] and len(cmd) > 3:
                category, disc = cmd[2], cmd[3]
                m = CATEGORIES.index(category) + 1 if category in CATEGORIES else 1
                lines = [f"210 {category} {disc} CD database entry follows (until terminating `.')",
                         "# xmcd", f"DISCID={disc}", f"DTITLE=Artist {m} / Album {m}",
                         f"DYEAR={1990 + m}", f"DGENRE=Genre {m}"]
                for t in range(args.tracks):
                    lines.append(f"TTITLE{t}=" + ("" if t == 0 else f"Title of track {t + 1}"))
                    if t == 3:
                        lines.append(f"TTITLE{t}= (continued on a second line)")
                lines += ["EXTD=", "PLAYORDER=", "."]
            else:
                lines = ["500 Unrecognized command."]
            body = ("\r\n".join(lines) + "\r\n").encode("utf-8")
            self.send_response(200)
            self.send_header("Content-Type", "text/plain; charset=UTF-8")
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)

        def log_message(self, *a):
            pass

    print(f"CDDB server on 127.0.0.1:{args.port}", flush=True)
    http.server.HTTPServer(("127.0.0.1", args.port), Handler).serve_forever()


if __name__ == "__main__":
    main()
