// LanJoinCheck: the C# binding under test, driven by tests/csharp/run.sh
// inside a private network namespace.
//   LanJoinCheck.exe version                     the library's version (loads it)
//   LanJoinCheck.exe self                        decoding, errors, limits, handler failures (exit 1 on a failure)
//   LanJoinCheck.exe live                        a game hosted here, listed and gone in a live list
//   LanJoinCheck.exe list OUT QUERIES            two full passes, the records as JSON into OUT
//   LanJoinCheck.exe host READY STOP SECONDS     hosts a game; port into READY; ends when STOP exists
// Every step is followed by a full collection, while callbacks are registered.
using System;
using System.Collections.Generic;
using System.IO;
using System.Text;
using System.Threading;
using VelnarLanJoin;

static class LanJoinCheck
{
    static int failures;

    static void Expect(bool ok, string what)
    {
        if (ok) return;
        failures++;
        Console.Error.WriteLine("FAILED: " + what);
    }

    // A collection that would free any delegate the library still calls.
    static void Collect()
    {
        GC.Collect();
        GC.WaitForPendingFinalizers();
    }

    static int Main(string[] args)
    {
        switch (args.Length > 0 ? args[0] : "")
        {
            case "version": Console.WriteLine(Library.VersionText); break;
            case "self": Self(); break;
            case "live": Live(); break;
            case "list": List(args[1], int.Parse(args[2])); break;
            case "host": HostGame(args[1], args[2], int.Parse(args[3])); break;
            default: Console.Error.WriteLine("usage: version | self | live | list OUT QUERIES | host READY STOP SECONDS"); return 2;
        }
        return failures == 0 ? 0 : 1;
    }

    static void Self()
    {
        // The binding ships with the library of its version.
        Expect(Library.Version >> 16 == Library.BindingMajor && Library.VersionText == Library.BindingVersion,
               "library " + Library.VersionText + ", binding " + Library.BindingVersion);

        // Bytes from the network: valid UTF-8 as it is, anything else as Windows-1252.
        var decoding = new[] {
            new object[] { new byte[] { 0x41, 0x20, 0x7E }, "A ~" },
            new object[] { new byte[] { 0xC3, 0xA9 }, "\u00E9" },
            new object[] { new byte[] { 0xF0, 0x9F, 0x8E, 0xAE }, "\uD83C\uDFAE" },
            new object[] { new byte[] { 0xE9, 0x80, 0x81, 0x9F }, "\u00E9\u20AC\u0081\u0178" },
            new object[] { new byte[] { 0xC0, 0xAF }, "\u00C0\u00AF" },                  // overlong '/'
            new object[] { new byte[] { 0xED, 0xA0, 0x80 }, "\u00ED\u00A0\u20AC" },      // a surrogate
            new object[] { new byte[] { 0xF4, 0x90, 0x80, 0x80 }, "\u00F4\u0090\u20AC\u20AC" },  // above U+10FFFF
            new object[] { new byte[] { 0x61, 0xE2, 0x82 }, "a\u00E2\u201A" },           // cut short
            new object[] { new byte[] { 0xC3, 0xA9, 0xE9 }, "\u00C3\u00A9\u00E9" },      // one bad byte: all 1252
        };
        foreach (var row in decoding)
        {
            var bytes = (byte[])row[0];
            string got = LanText.Decode(bytes, bytes.Length);
            Expect(got == (string)row[1], "decoding " + BitConverter.ToString(bytes) + " gave " + Quote(got));
        }

        // Failures carry the library's code and text, and change nothing;
        // the limits cross as a structure and come back as they were set.
        using (var host = new Host("check"))
        using (var other = new Host())
        {
            host.Start("Check", 0);
            int port = host.Port;
            var refused = new Dictionary<Action, ResultCode> {
                { () => other.Start("x", 70000), ResultCode.BadPort },
                { () => host.SetServerValue("info", "numplayers", "3"), ResultCode.BadKey },
                { () => host.Limits = new HostLimits { SenderRate = 0 }, ResultCode.BadLimit },
                { () => new Browser(new BrowserOptions { MaxQueries = 1001 }), ResultCode.InvalidArgument },
                // The bounds reach the library only in a config passed at its full size.
                { () => new Browser(new BrowserOptions { ServersPerAddress = 65536 }), ResultCode.InvalidArgument },
                { () => new Browser(new BrowserOptions { ServersTotal = -1 }), ResultCode.InvalidArgument },
                { () => new Browser(new BrowserOptions { KeyMapPath = "MultiplayerServers/none.ini" }), ResultCode.NotFound },
                { () => host.Start("x", 0), ResultCode.AlreadyHosting },
                { () => other.Start("x", port), ResultCode.PortInUse },
            };
            foreach (var r in refused)
            {
                try { r.Key(); Expect(false, r.Value + " expected, the call succeeded"); }
                catch (LanJoinException e)
                {
                    Expect(e.Code == r.Value && e.Message.Contains(": ") && !e.Message.Contains("unknown result"),
                           r.Value + " expected: " + e.Code + " " + e.Message);
                }
            }
            Expect(host.IsHosting && host.Port == port && !other.IsHosting, "the refused calls changed the hosts");
            host.Limits = new HostLimits { LanOnly = false, SenderRate = 7, SenderBurst = 3, TotalRate = 900, TotalBurst = 40 };
            var read = host.Limits;
            Expect(!read.LanOnly && read.SenderRate == 7 && read.SenderBurst == 3 && read.TotalRate == 900 &&
                   read.TotalBurst == 40, "limits read back differ");
        }

        // The key map is read without a message: one missing from the
        // current directory is told by KeyMapLoaded.
        string home = Directory.GetCurrentDirectory(), bare = Path.Combine(Path.GetTempPath(), Path.GetRandomFileName());
        Directory.CreateDirectory(bare);
        Directory.SetCurrentDirectory(bare);
        try { using (var unmapped = new Browser()) Expect(!unmapped.KeyMapLoaded, "a key map loaded in " + bare); }
        finally { Directory.SetCurrentDirectory(home); Directory.Delete(bare); }

        // A handler's exception comes out of Step, and a handler cannot
        // dispose its browser; the browser goes on working.
        using (var browser = new Browser())
        {
            Expect(browser.KeyMapLoaded, "the key map of " + home + " was not loaded");
            bool disposeRefused = false;
            browser.EventReceived += e => {
                try { browser.Dispose(); } catch (InvalidOperationException) { disposeRefused = true; }
                throw new ApplicationException("handler failed");
            };
            browser.Update();
            try { browser.Update(); Expect(false, "a second update while one runs"); }
            catch (LanJoinException e) { Expect(e.Code == ResultCode.Busy, "busy: " + e.Code); }
            bool thrown = false;
            var watch = System.Diagnostics.Stopwatch.StartNew();
            while (!thrown && watch.Elapsed.TotalSeconds < 10)
            {
                try { if (!browser.Step()) break; }
                catch (InvalidOperationException e)
                {
                    thrown = true;
                    Expect(e.InnerException is ApplicationException, "the handler's exception is inner: " + e);
                }
                Thread.Sleep(5);
            }
            Expect(thrown && disposeRefused, "the handler's exception came out of Step, its Dispose was refused");
            Expect(browser.ServerCount == 0, "the browser goes on");
        }
        Console.WriteLine(failures == 0 ? "self: ok" : "self: " + failures + " failed");
    }

    // A game hosted with announcing on, in a live list of the same process:
    // listed on its hello, gone on its goodbye (the handler closes the list
    // there, the leaving server's copy outliving its removal), then Idle.
    // Closing what is not open, and disposing or forgetting an open list, are no errors.
    static void Live()
    {
        using (var host = new Host())
        using (var browser = new Browser())
        {
            host.Announcing = true;
            var events = new List<BrowserEvent>();
            browser.EventReceived += e => {
                events.Add(e);
                if (e.Kind == EventKind.Gone) browser.CloseList();
            };
            Func<Predicate<BrowserEvent>, double, BrowserEvent> until = (wanted, seconds) => {
                var watch = System.Diagnostics.Stopwatch.StartNew();
                for (; !events.Exists(wanted) && watch.Elapsed.TotalSeconds < seconds; Thread.Sleep(5))
                {
                    browser.Step(); host.Step(); Collect();
                }
                return events.Find(wanted);
            };
            browser.Update(UpdateKind.Live);
            Expect(until(e => e.State == UpdateState.Live, 10) != null, "live: the first sweep was not complete in 10 s");
            host.Start("Live", 0);  // its hello brings the live list's query at once
            int port = host.Port;
            BrowserEvent listed = until(e => e.Kind == EventKind.Server, 2);
            Expect(listed != null && listed.IsNew && listed.Server.Value("info", "hostname") == "Live" &&
                   browser.ServerCount == 1, "live: listed " + listed);
            host.Stop();  // says goodbye
            BrowserEvent gone = until(e => e.Kind == EventKind.Gone, 1);
            Expect(gone != null && listed != null && gone.ServerId == listed.ServerId && gone.Port == port &&
                   gone.Server != null && gone.Server.Value("info", "hostname") == "Live" && browser.ServerCount == 0 &&
                   browser.FindServer(gone.ServerId) == null, "live: gone " + gone);
            Expect(until(e => e.State == UpdateState.Idle, 1) != null && !browser.IsUpdating, "live: not closed");
            browser.CloseList();
            string states = string.Join(" ", events.FindAll(e => e.Kind == EventKind.State).ConvertAll(e => e.ToString()).ToArray());
            Expect(states == "state Live state Idle", "live: states " + states);
        }
        using (var open = new Browser()) { open.Update(UpdateKind.Live); open.Step(); }
        new Browser().Update(UpdateKind.Live);  // left to the finalizer
        Collect();
        Console.WriteLine(failures == 0 ? "live: ok" : "live: " + failures + " failed");
    }

    // Pass 1 hears the events through a handler, pass 2 polls them and sorts
    // by hostname; each writes its records. A trace handler is on throughout.
    static void List(string outPath, int queries)
    {
        var json = new StringBuilder("{\"passes\":[");
        int traces = 0;
        using (var browser = new Browser(new BrowserOptions { MaxQueries = queries }))
        {
            browser.Trace += line => traces++;
            for (int pass = 1; pass <= 2; pass++)
            {
                var events = new List<BrowserEvent>();
                Action<BrowserEvent> handler = e => events.Add(e);
                if (pass == 1) browser.EventReceived += handler;
                var watch = System.Diagnostics.Stopwatch.StartNew();
                browser.Update(UpdateKind.Full);
                while (browser.Step())
                {
                    Collect();
                    events.AddRange(browser.PollEvents());
                    Thread.Sleep(2);
                    if (watch.Elapsed.TotalSeconds > 60) throw new TimeoutException("the pass did not end");
                }
                events.AddRange(browser.PollEvents());
                if (pass == 1) browser.EventReceived -= handler;
                if (pass == 2) browser.Sort("hostname", true, CompareMode.Text);
                Server[] servers = browser.Servers;
                CheckEvents(pass, events, servers);
                Console.WriteLine("pass {0}: {1} servers in {2:F1} s", pass, servers.Length, watch.Elapsed.TotalSeconds);
                json.Append(pass == 1 ? "" : ",").Append("{\"elapsed_ms\":").Append((long)watch.Elapsed.TotalMilliseconds);
                json.Append(",\"servers\":[");
                for (int i = 0; i < servers.Length; i++) AppendServer(json.Append(i == 0 ? "" : ","), servers[i]);
                json.Append("]}");
            }
        }
        Expect(traces > 0, "no trace line was heard");
        File.WriteAllText(outPath, json.Append("]}\n").ToString(), Encoding.ASCII);
    }

    // The events of a whole pass: querying, then idle last; each server
    // listed new once, with the values the list holds afterwards.
    static void CheckEvents(int pass, List<BrowserEvent> events, Server[] servers)
    {
        var listed = new Dictionary<uint, BrowserEvent>();
        int querying = -1;
        for (int i = 0; i < events.Count; i++)
        {
            BrowserEvent e = events[i];
            if (e.Kind == EventKind.State && e.State == UpdateState.Querying) querying = i;
            if (e.Kind != EventKind.Server) continue;
            Expect(e.IsNew && !listed.ContainsKey(e.ServerId) && e.Server != null && e.Server.Id == e.ServerId &&
                   e.Server.Address == e.Address && e.Server.Port == e.Port, "pass " + pass + ": event " + e);
            listed[e.ServerId] = e;
        }
        Expect(querying >= 0 && events.Count > 0 && events[events.Count - 1].State == UpdateState.Idle,
               "pass " + pass + ": states querying then idle");
        Expect(listed.Count == servers.Length, "pass " + pass + ": " + listed.Count + " listed, " + servers.Length + " kept");
        foreach (Server s in servers)
        {
            BrowserEvent e;
            Expect(listed.TryGetValue(s.Id, out e) && e.Server.Values.Count == s.Values.Count, "pass " + pass + ": " + s);
            Expect(s.Value("info", "ping") == s.Ping.ToString(), s + ": ping " + s.Ping);
        }
    }

    static void AppendServer(StringBuilder json, Server s)
    {
        json.Append("{\"address\":").Append(Quote(s.Address)).Append(",\"port\":").Append(s.Port).Append(",\"values\":[");
        for (int i = 0; i < s.Values.Count; i++)
        {
            ServerValue v = s.Values[i];
            json.Append(i == 0 ? "[" : ",[").Append(Quote(v.Section)).Append(',');
            json.Append(v.Player < 0 ? "null" : Quote(v.Player.ToString()));
            json.Append(',').Append(Quote(v.Key)).Append(',').Append(Quote(v.Value)).Append(']');
        }
        json.Append("]}");
    }

    // JSON text with everything outside printable ASCII escaped.
    static string Quote(string s)
    {
        var q = new StringBuilder("\"");
        foreach (char c in s)
        {
            if (c == '"' || c == '\\') q.Append('\\').Append(c);
            else if (c < 0x20 || c > 0x7E) q.AppendFormat("\\u{0:x4}", (int)c);
            else q.Append(c);
        }
        return q.Append('"').ToString();
    }

    // Hosts a game named in UTF-8 with two players until STOP exists or
    // SECONDS pass, then prints its counters.
    static void HostGame(string readyPath, string stopPath, int seconds)
    {
        using (var host = new Host())
        {
            host.SetPlayerLimit(8);
            host.SetServerValue("info", "mapname", "scree");
            host.SetServerValue("info", "gametype", "capture_the_flag");
            host.SetPlayerValue(0, "player", "Ada");
            host.SetPlayerValue(0, "score", "12");
            host.SetPlayerValue(1, "player", "B\u00F6");
            host.Start("CSharp G\u00E4me", 0);
            File.WriteAllText(readyPath, host.Port + "\n");
            var watch = System.Diagnostics.Stopwatch.StartNew();
            while (!File.Exists(stopPath) && watch.Elapsed.TotalSeconds < seconds)
            {
                host.Step();
                Collect();
                Thread.Sleep(2);
            }
            HostCounters c = host.Counters;
            Console.WriteLine("answered {0} refused {1} (not queries {2}, not local {3}, rate limited {4})",
                              c.Answered, c.Refused, c.NotQueries, c.NotLocal, c.RateLimited);
        }
    }
}
