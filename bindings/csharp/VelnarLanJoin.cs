// VelnarLanJoin.cs: the C# binding of the VelnarLanJoin plug-in, over its C
// interface (velnarlanjoin.h). One file for a Unity project or a .NET program;
// it needs nothing but the System assemblies.
//
// Everything runs on the caller's thread inside its calls: a Browser or a Host
// is driven from the game's loop (Step) and used from one thread at a time.
// Events come from PollEvents() (the way for games: no native-to-managed
// calls) or, when a handler is added, from EventReceived during Step. A live
// list (UpdateKind.Live) stays open until CloseList(), reporting servers as
// they come, change and go (EventKind.Gone). Texts
// from the network are decoded by LanText.Decode: valid UTF-8 as it is, anything
// else as Windows-1252, never throwing. Failures throw LanJoinException with
// the library's text; a failed call changes nothing.
using System;
using System.Collections.Generic;
using System.Runtime.InteropServices;
using System.Text;

namespace VelnarLanJoin
{
    /// <summary>The library's result codes, and the binding's own WrongLibrary.</summary>
    public enum ResultCode
    {
        Ok = 0, InvalidArgument = -1, NoMemory = -2, BufferTooSmall = -3, NotFound = -4, Busy = -5,
        NoSocket = -6, StructSize = -7, Internal = -8,
        PortInUse = -101, SocketFailed = -102, AlreadyHosting = -103, BadPort = -104, BadKey = -105,
        BadValue = -106, BadSection = -107, BadPlayer = -108, ServerFull = -109, ReplyTooLarge = -110,
        BadLimit = -111,
        /// <summary>The native library is missing, too old, or of another major version.</summary>
        WrongLibrary = -1000
    }

    /// <summary>Full and Info start afresh, Aux keeps the list; Live keeps it and stays open until CloseList().</summary>
    public enum UpdateKind { Full = 0, Info = 1, Aux = 2, Live = 3 }
    public enum CompareMode { Integer = 0, Float = 1, Text = 2, TextNoCase = 3 }
    /// <summary>Gone: a live list's server stopped answering or said goodbye, and is listed no more.</summary>
    public enum EventKind { Server = 1, State = 2, Problem = 3, Gone = 4 }
    /// <summary>Live: a live list's first sweep is complete; Idle: the update is over, or the live list closed.</summary>
    public enum UpdateState { None = 0, Idle = 1, Querying = 4, Live = 5 }
    public enum UpdateProblem { None = 0, NoSocket = 1, NoBroadcast = 2, KeptServers = 3 }

    /// <summary>A failed call: Code is the library's result, Message names the call and gives the library's text.</summary>
    public class LanJoinException : Exception
    {
        public readonly ResultCode Code;
        public LanJoinException(ResultCode code, string message, Exception inner = null) : base(message, inner)
        {
            Code = code;
        }
    }

    /// <summary>
    /// Marks a static method that native code calls, so that an ahead-of-time
    /// compiler (Unity's IL2CPP, Mono's full AOT) emits a native entry for it.
    /// Those compilers find the attribute by its name in any namespace.
    /// </summary>
    [AttributeUsage(AttributeTargets.Method)]
    internal sealed class MonoPInvokeCallbackAttribute : Attribute
    {
        public MonoPInvokeCallbackAttribute(Type delegateType) { DelegateType = delegateType; }
        public Type DelegateType { get; private set; }
    }

    /// <summary>The native library's version, checked once before the first object is made.</summary>
    public static class Library
    {
        /// <summary>The major version this file is written for; another is refused.</summary>
        public const int BindingMajor = 1;
        public const string BindingVersion = "1.1.0";
        static bool checkedOnce;

        /// <summary>(major &lt;&lt; 16) | (minor &lt;&lt; 8) | patch of the loaded library.</summary>
        public static uint Version { get { EnsureCompatible(); return Native.vlj_version(); } }
        public static string VersionText { get { EnsureCompatible(); return LanText.FromNative(Native.vlj_version_text()); } }

        /// <summary>Loads the library and refuses one that cannot serve this file, with a message saying why.</summary>
        public static void EnsureCompatible()
        {
            if (checkedOnce) return;
            uint version;
            try
            {
                version = Native.vlj_version();
            }
            catch (DllNotFoundException e)
            {
                throw new LanJoinException(ResultCode.WrongLibrary,
                    "VelnarLanJoin: the native library was not found (VelnarLanJoin.dll on Windows, " +
                    "libVelnarLanJoin.so on Linux, beside the program or on the loader's path)", e);
            }
            catch (EntryPointNotFoundException e)
            {
                throw new LanJoinException(ResultCode.WrongLibrary,
                    "VelnarLanJoin: the native library has no C interface (it is older than 1.1); " +
                    "use the library of this binding's release (" + BindingVersion + ")", e);
            }
            int major = (int)(version >> 16);
            if (major != BindingMajor)
            {
                throw new LanJoinException(ResultCode.WrongLibrary, string.Format(
                    "VelnarLanJoin: the native library is version {0}.{1}.{2}, but this binding ({3}) needs {4}.x; " +
                    "use the VelnarLanJoin.cs of the library's release", major, (version >> 8) & 0xFF, version & 0xFF,
                    BindingVersion, BindingMajor));
            }
            checkedOnce = true;
        }

        internal static void Check(int result, string call)
        {
            if (result < 0)
                throw new LanJoinException((ResultCode)result, call + ": " + LanText.FromNative(Native.vlj_result_text(result)));
        }
    }

    /// <summary>The decoding rule for texts from the network, and UTF-8 for texts passed in.</summary>
    public static class LanText
    {
        // Windows-1252 for 0x80 to 0x9F; the five bytes it leaves undefined
        // map to the C1 control of the same number. Other bytes are Latin-1.
        static readonly char[] Cp1252 = {
            '\u20AC', '\u0081', '\u201A', '\u0192', '\u201E', '\u2026', '\u2020', '\u2021',
            '\u02C6', '\u2030', '\u0160', '\u2039', '\u0152', '\u008D', '\u017D', '\u008F',
            '\u0090', '\u2018', '\u2019', '\u201C', '\u201D', '\u2022', '\u2013', '\u2014',
            '\u02DC', '\u2122', '\u0161', '\u203A', '\u0153', '\u009D', '\u017E', '\u0178' };

        /// <summary>bytes[0..count) as valid UTF-8 when they are, else as Windows-1252. Never throws.</summary>
        public static string Decode(byte[] bytes, int count)
        {
            var chars = new char[count];
            int n = DecodeUtf8(bytes, count, chars);
            if (n >= 0) return new string(chars, 0, n);
            for (int i = 0; i < count; i++)
            {
                byte b = bytes[i];
                chars[i] = b >= 0x80 && b < 0xA0 ? Cp1252[b - 0x80] : (char)b;
            }
            return new string(chars, 0, count);
        }

        // Decodes strict UTF-8 (no overlong forms, surrogates or code points
        // above U+10FFFF) into chars; the number of chars, or -1 when invalid.
        static int DecodeUtf8(byte[] s, int count, char[] chars)
        {
            int n = 0;
            for (int i = 0; i < count;)
            {
                int b = s[i], length, cp, min;
                if (b < 0x80) { chars[n++] = (char)b; i++; continue; }
                if (b >= 0xC2 && b <= 0xDF) { length = 2; cp = b & 0x1F; min = 0x80; }
                else if (b >= 0xE0 && b <= 0xEF) { length = 3; cp = b & 0x0F; min = 0x800; }
                else if (b >= 0xF0 && b <= 0xF4) { length = 4; cp = b & 0x07; min = 0x10000; }
                else return -1;
                if (i + length > count) return -1;
                for (int k = 1; k < length; k++)
                {
                    int c = s[i + k];
                    if ((c & 0xC0) != 0x80) return -1;
                    cp = (cp << 6) | (c & 0x3F);
                }
                if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return -1;
                if (cp >= 0x10000)
                {
                    cp -= 0x10000;
                    chars[n++] = (char)(0xD800 + (cp >> 10));
                    chars[n++] = (char)(0xDC00 + (cp & 0x3FF));
                }
                else chars[n++] = (char)cp;
                i += length;
            }
            return n;
        }

        /// <summary>The NUL-terminated bytes at p, decoded; null for a null pointer.</summary>
        internal static string FromNative(IntPtr p)
        {
            if (p == IntPtr.Zero) return null;
            int length = 0;
            while (Marshal.ReadByte(p, length) != 0) length++;
            var bytes = new byte[length];
            Marshal.Copy(p, bytes, 0, length);
            return Decode(bytes, length);
        }

        /// <summary>s as NUL-terminated UTF-8 (null stays null), for the library's const char* parameters.</summary>
        internal static byte[] ToNative(string s)
        {
            if (s == null) return null;
            var bytes = new byte[Encoding.UTF8.GetByteCount(s) + 1];
            Encoding.UTF8.GetBytes(s, 0, s.Length, bytes, 0);
            return bytes;
        }
    }

    /// <summary>One value of a server's record; Player is -1 for a value of no player.</summary>
    public sealed class ServerValue
    {
        public readonly string Section, Key, Value;
        public readonly int Player;
        internal ServerValue(string section, string key, string value, int player)
        {
            Section = section; Key = key; Value = value; Player = player;
        }
        public override string ToString() { return Section + "/" + (Player >= 0 ? Player + "/" : "") + Key + "=" + Value; }
    }

    /// <summary>A listed server, copied out of the library: it stays as it was when copied.</summary>
    public sealed class Server
    {
        /// <summary>The sections of a record, in the order Values holds them.</summary>
        public static readonly string[] Sections = { "basic", "info", "players", "teams", "rules" };
        static readonly byte[][] SectionNames = Array.ConvertAll(Sections, LanText.ToNative);

        public uint Id { get; private set; }
        public string Address { get; private set; }
        public int Port { get; private set; }
        /// <summary>Milliseconds from the query to the first datagram of the answer.</summary>
        public int Ping { get; private set; }
        /// <summary>Every value, section by section in the order of Sections.</summary>
        public IList<ServerValue> Values { get; private set; }

        /// <summary>The value of key in section (exact names) of no player, or null.</summary>
        public string Value(string section, string key) { return PlayerValue(section, -1, key); }

        /// <summary>The value of key of player (0, 1, ...) in section, or null.</summary>
        public string PlayerValue(string section, int player, string key)
        {
            foreach (var v in Values)
                if (v.Player == player && v.Key == key && v.Section == section) return v.Value;
            return null;
        }

        public override string ToString() { return Address + ":" + Port; }

        internal static Server Copy(IntPtr s)
        {
            var values = new List<ServerValue>();
            for (int section = 0; section < Sections.Length; section++)
            {
                int count = Native.vlj_server_value_count(s, SectionNames[section]);
                for (int i = 0; i < count; i++)
                {
                    IntPtr key, value;
                    int player;
                    if (Native.vlj_server_value_at(s, SectionNames[section], i, out key, out value, out player) < 0) break;
                    values.Add(new ServerValue(Sections[section], LanText.FromNative(key), LanText.FromNative(value), player));
                }
            }
            return new Server {
                Id = Native.vlj_server_id(s), Address = LanText.FromNative(Native.vlj_server_address(s)),
                Port = Native.vlj_server_port(s), Ping = Native.vlj_server_ping(s), Values = values.AsReadOnly()
            };
        }
    }

    /// <summary>
    /// What happened during a step. Server is a copy of the server (null when it is listed no more). A Gone
    /// event names the server by ServerId, Address and Port; in a handler its Server is a copy of the leaving
    /// server's last record, and a polled one's is null, the browser having removed the server by then.
    /// </summary>
    public sealed class BrowserEvent
    {
        public EventKind Kind;
        public UpdateState State;
        public int Progress;
        public bool IsNew;
        public UpdateProblem Problem;
        public uint ServerId;
        public string Address;
        public int Port;
        public Server Server;
        public override string ToString()
        {
            switch (Kind)
            {
                case EventKind.Server: return "server " + Address + ":" + Port + (IsNew ? " new " : " again ") + Progress + "%";
                case EventKind.State: return "state " + State;
                case EventKind.Gone: return "gone " + Address + ":" + Port;
                default: return "problem " + Problem;
            }
        }
    }

    public sealed class BrowserOptions
    {
        /// <summary>Servers queried at once, 1 to 1000; 0: the library's default (8).</summary>
        public int MaxQueries;
        /// <summary>
        /// The key map file; null: MultiplayerServers/VelnarKeyMap.ini under the current directory. Read once,
        /// without a message: a file named here that cannot be read makes the Browser constructor throw NotFound;
        /// a missing default one leaves the servers with "info"/"ping" alone (see Browser.KeyMapLoaded).
        /// </summary>
        public string KeyMapPath;
        /// <summary>The service's name; null: "lan".</summary>
        public string Name;
        /// <summary>
        /// Servers taken from one address (1 to 65535; 0: 16) and in all (1 to 1000000; 0: 4096), in updates
        /// and live lists alike; further answers are ignored (and traced). Out of range: InvalidArgument.
        /// </summary>
        public int ServersPerAddress, ServersTotal;
    }

    /// <summary>Finds the game servers on the LAN. Dispose it (or let it be collected) to free it.</summary>
    public sealed class Browser : IDisposable
    {
        // The native callbacks: static, and their delegates held by static
        // fields for good, so the collector can never free what the library calls.
        static readonly Native.EventCallback EventThunk = OnNativeEvent;
        static readonly Native.TraceCallback TraceThunk = OnNativeTrace;

        IntPtr handle;
        IntPtr eventBuffer;
        GCHandle self;  // weak: a forgotten browser can still be collected
        bool inStep, inUpdate;  // inside the calls where the handlers run
        Exception handlerFailure;
        Action<BrowserEvent> eventHandlers;
        Action<string> traceHandlers;

        public Browser(BrowserOptions options = null)
        {
            Library.EnsureCompatible();
            options = options ?? new BrowserOptions();
            var config = new Native.BrowserConfig {
                size = (uint)Marshal.SizeOf(typeof(Native.BrowserConfig)), max_queries = options.MaxQueries,
                key_map_path = AllocText(options.KeyMapPath), name = AllocText(options.Name),
                servers_per_address = options.ServersPerAddress, servers_total = options.ServersTotal
            };
            try
            {
                Library.Check(Native.vlj_browser_create(ref config, out handle), "vlj_browser_create");
            }
            finally
            {
                if (config.key_map_path != IntPtr.Zero) Marshal.FreeHGlobal(config.key_map_path);
                if (config.name != IntPtr.Zero) Marshal.FreeHGlobal(config.name);
            }
            eventBuffer = Marshal.AllocHGlobal(Marshal.SizeOf(typeof(Native.Event)));
            self = GCHandle.Alloc(this, GCHandleType.Weak);
        }

        ~Browser() { Release(); }

        /// <summary>Stops a running update (or closes the live list, without an event) and frees the browser (not from its own handlers).</summary>
        public void Dispose()
        {
            if (inStep || inUpdate) throw new InvalidOperationException("a Browser's handlers must not dispose it");
            Release();
            GC.SuppressFinalize(this);
        }

        void Release()
        {
            if (handle != IntPtr.Zero) { Native.vlj_browser_destroy(handle); handle = IntPtr.Zero; }
            if (eventBuffer != IntPtr.Zero) { Marshal.FreeHGlobal(eventBuffer); eventBuffer = IntPtr.Zero; }
            if (self.IsAllocated) self.Free();
        }

        /// <summary>Starts an update and returns at once; Step drives it. Throws Busy while one runs (a live list: until closed).</summary>
        public void Update(UpdateKind kind = UpdateKind.Full)
        {
            IntPtr h = Enter(true);
            int result;
            inUpdate = true;
            try { result = Native.vlj_browser_update(h, (int)kind); }
            finally { inUpdate = false; }
            if (!inStep) RethrowHandlerFailure();
            Library.Check(result, "vlj_browser_update");
        }

        /// <summary>One step of the update: never waits. Delivers the events; true while the update runs.</summary>
        public bool Step()
        {
            IntPtr h = Enter(false);
            int result;
            inStep = true;
            try { result = Native.vlj_browser_step(h); }
            finally { inStep = false; }
            RethrowHandlerFailure();
            Library.Check(result, "vlj_browser_step");
            return result == 1;
        }

        /// <summary>
        /// Ends the live list (or the update that runs) at once: nothing is sent afterwards, the servers stay
        /// listed, and the next Step delivers the Idle state. Nothing when none runs. An event handler may call it.
        /// </summary>
        public void CloseList() { Library.Check(Native.vlj_browser_close(Enter(true)), "vlj_browser_close"); }

        // A handler's exception cannot cross native code: it is kept by the
        // callback and thrown here, once the library's call has returned.
        void RethrowHandlerFailure()
        {
            if (handlerFailure == null) return;
            Exception failure = handlerFailure;
            handlerFailure = null;
            throw new InvalidOperationException("a VelnarLanJoin.Browser event handler failed: " + failure.Message, failure);
        }

        public bool IsUpdating { get { return Native.vlj_browser_is_updating(Live()) == 1; } }

        /// <summary>
        /// False when the default key map (no KeyMapPath) could not be read: the servers then hold "info"/"ping"
        /// alone, and nothing was shown; tell the player where the file belongs. True otherwise.
        /// </summary>
        public bool KeyMapLoaded { get { return Native.vlj_browser_key_map_loaded(Live()) == 1; } }

        /// <summary>
        /// The receive buffer, in bytes, that an update asks the system for, so that servers answering
        /// the broadcast at once are not dropped: 1048576 unless set; 0 asks for nothing. From the next update.
        /// </summary>
        public int ReceiveBuffer
        {
            get { return Math.Max(Native.vlj_browser_receive_buffer(Live()), 0); }
            set { Library.Check(Native.vlj_browser_set_receive_buffer(Live(), value), "vlj_browser_set_receive_buffer"); }
        }

        /// <summary>What kept the last update from asking the network, once it is over.</summary>
        public UpdateProblem Problem { get { return (UpdateProblem)Native.vlj_browser_update_problem(Live()); } }

        /// <summary>Takes the oldest queued event; false when none waits. Events queue while no handler is added.</summary>
        public bool PollEvent(out BrowserEvent e)
        {
            int result = Native.vlj_browser_poll_event(Live(), eventBuffer);
            Library.Check(result, "vlj_browser_poll_event");
            // The server is looked up again by id: the event may be older than the last step.
            e = result == 1 ? ReadEvent(eventBuffer, true) : null;
            return e != null;
        }

        /// <summary>Every queued event, oldest first: foreach (var e in browser.PollEvents()) ...</summary>
        public IEnumerable<BrowserEvent> PollEvents()
        {
            BrowserEvent e;
            while (PollEvent(out e)) yield return e;
        }

        /// <summary>Hears the events inside Step instead of the queue. A handler may update, sort, clear or close the browser's list, not step or dispose it.</summary>
        public event Action<BrowserEvent> EventReceived
        {
            add
            {
                bool first = eventHandlers == null;
                eventHandlers += value;
                if (first && eventHandlers != null) SetEventCallback(true);
            }
            remove
            {
                eventHandlers -= value;
                if (eventHandlers == null) SetEventCallback(false);
            }
        }

        /// <summary>Hears the library's trace lines (broadcast rounds, queries asked again, ...) inside Step and Update.</summary>
        public event Action<string> Trace
        {
            add
            {
                bool first = traceHandlers == null;
                traceHandlers += value;
                if (first && traceHandlers != null)
                    Library.Check(Native.vlj_browser_set_trace_callback(Live(), TraceThunk, GCHandle.ToIntPtr(self)),
                                  "vlj_browser_set_trace_callback");
            }
            remove
            {
                traceHandlers -= value;
                if (traceHandlers == null && handle != IntPtr.Zero)
                    Native.vlj_browser_set_trace_callback(handle, null, IntPtr.Zero);
            }
        }

        /// <summary>The servers listed, copied: in the order first listed, or that of the last Sort.</summary>
        public Server[] Servers
        {
            get
            {
                IntPtr h = Live();
                int count = Native.vlj_browser_server_count(h);
                var servers = new List<Server>(Math.Max(count, 0));
                for (int i = 0; i < count; i++)
                {
                    IntPtr s = Native.vlj_browser_server_at(h, i);
                    if (s != IntPtr.Zero) servers.Add(Server.Copy(s));
                }
                return servers.ToArray();
            }
        }

        public int ServerCount { get { return Math.Max(Native.vlj_browser_server_count(Live()), 0); } }

        /// <summary>A copy of the server listed with that id, or null.</summary>
        public Server FindServer(uint id)
        {
            IntPtr s = Native.vlj_browser_find_server(Live(), id);
            return s == IntPtr.Zero ? null : Server.Copy(s);
        }

        /// <summary>Orders the list by the value the servers sent for key (a key map key or a server key).</summary>
        public void Sort(string key, bool ascending = true, CompareMode mode = CompareMode.Text)
        {
            Library.Check(Native.vlj_browser_sort(Enter(true), LanText.ToNative(key), ascending ? 1 : 0, (int)mode),
                          "vlj_browser_sort");
        }

        /// <summary>Forgets the servers listed. Throws Busy while an update runs.</summary>
        public void Clear() { Library.Check(Native.vlj_browser_clear(Enter(true)), "vlj_browser_clear"); }

        IntPtr Live()
        {
            if (handle == IntPtr.Zero) throw new ObjectDisposedException("VelnarLanJoin.Browser");
            return handle;
        }

        // The handle for a call that changes the list. The event handlers,
        // which run once Step's network work is done, may update, sort or
        // clear the browser, not step it; the trace handlers that run inside
        // Update may change nothing.
        IntPtr Enter(bool fromEventHandler)
        {
            if (inUpdate || (inStep && !fromEventHandler))
                throw new InvalidOperationException(inUpdate ? "a Browser's trace handlers must not change it during Update"
                                                             : "a Browser's handlers must not step it");
            return Live();
        }

        void SetEventCallback(bool on)
        {
            if (handle == IntPtr.Zero) return;
            Library.Check(Native.vlj_browser_set_event_callback(handle, on ? EventThunk : null,
                                                               on ? GCHandle.ToIntPtr(self) : IntPtr.Zero),
                          "vlj_browser_set_event_callback");
        }

        BrowserEvent ReadEvent(IntPtr p, bool lookUp)
        {
            var n = (Native.Event)Marshal.PtrToStructure(p, typeof(Native.Event));
            int length = Array.IndexOf(n.address, (byte)0);
            var e = new BrowserEvent {
                Kind = (EventKind)n.kind, State = (UpdateState)n.state, Progress = n.progress, IsNew = n.is_new != 0,
                Problem = (UpdateProblem)n.problem, ServerId = n.server_id, Port = n.port,
                Address = LanText.Decode(n.address, length < 0 ? n.address.Length : length)
            };
            // A handler's event names the server as it is now (a Gone one: the
            // leaving server, removed once the step's events are delivered). A
            // polled event is older than that: its pointer is never read, a
            // listed server is found again by id, and a gone one has no Server.
            IntPtr server = n.server;
            if (lookUp)
                server = e.Kind == EventKind.Server ? Native.vlj_browser_find_server(handle, n.server_id) : IntPtr.Zero;
            if (server != IntPtr.Zero) e.Server = Server.Copy(server);
            return e;
        }

        static Browser FromUser(IntPtr user)
        {
            return user == IntPtr.Zero ? null : GCHandle.FromIntPtr(user).Target as Browser;
        }

        // Run inside vlj_browser_step (and, for the trace, vlj_browser_update).
        // Nothing may be thrown back into native code.
        [MonoPInvokeCallback(typeof(Native.EventCallback))]
        static void OnNativeEvent(IntPtr ev, IntPtr user)
        {
            Browser browser = FromUser(user);
            if (browser == null) return;
            try
            {
                Action<BrowserEvent> handlers = browser.eventHandlers;
                if (handlers != null) handlers(browser.ReadEvent(ev, false));
            }
            catch (Exception e)
            {
                if (browser.handlerFailure == null) browser.handlerFailure = e;
            }
        }

        [MonoPInvokeCallback(typeof(Native.TraceCallback))]
        static void OnNativeTrace(IntPtr line, IntPtr user)
        {
            Browser browser = FromUser(user);
            if (browser == null) return;
            try
            {
                Action<string> handlers = browser.traceHandlers;
                if (handlers != null) handlers(LanText.FromNative(line));
            }
            catch (Exception e)
            {
                if (browser.handlerFailure == null) browser.handlerFailure = e;
            }
        }

        static IntPtr AllocText(string s)
        {
            byte[] bytes = LanText.ToNative(s);
            if (bytes == null) return IntPtr.Zero;
            IntPtr p = Marshal.AllocHGlobal(bytes.Length);
            Marshal.Copy(bytes, 0, p, bytes.Length);
            return p;
        }
    }

    /// <summary>Which queries a hosted game answers (see Host.Limits).</summary>
    public sealed class HostLimits
    {
        public bool LanOnly = true;
        public uint SenderRate = 10, SenderBurst = 5, TotalRate = 500, TotalBurst = 100;
    }

    /// <summary>What a hosted game did with the datagrams that reached it, counted from creation.</summary>
    public sealed class HostCounters
    {
        public ulong Answered, NotQueries, NotLocal, RateLimited;
        public ulong Refused { get { return NotQueries + NotLocal + RateLimited; } }
    }

    /// <summary>Announces a game this process serves, answering the browsers' status queries.</summary>
    public sealed class Host : IDisposable
    {
        IntPtr handle;

        /// <summary>A hosting service, not hosting yet; name null: "lan-host".</summary>
        public Host(string name = null)
        {
            Library.EnsureCompatible();
            Library.Check(Native.vlj_host_create(LanText.ToNative(name), out handle), "vlj_host_create");
        }

        ~Host() { Release(); }

        /// <summary>Stops hosting and frees the service.</summary>
        public void Dispose() { Release(); GC.SuppressFinalize(this); }

        void Release()
        {
            if (handle != IntPtr.Zero) { Native.vlj_host_destroy(handle); handle = IntPtr.Zero; }
        }

        /// <summary>Answers on port, or on the first free one of 22000 to 22010 for 0, as hostname.</summary>
        public void Start(string hostname, int port = 0)
        {
            Library.Check(Native.vlj_host_start(Live(), LanText.ToNative(hostname), port), "vlj_host_start");
        }

        /// <summary>Stops answering and gives the port back; the values stay.</summary>
        public void Stop() { Library.Check(Native.vlj_host_stop(Live()), "vlj_host_stop"); }

        public bool IsHosting { get { return Native.vlj_host_is_hosting(Live()) == 1; } }
        /// <summary>The port queries are answered on; 0 while not hosting.</summary>
        public int Port { get { return Native.vlj_host_port(Live()); } }

        /// <summary>Reads what is waiting and answers. Never waits; call it every frame.</summary>
        public void Step() { Library.Check(Native.vlj_host_step(Live()), "vlj_host_step"); }

        /// <summary>A value of section "basic", "info", "rules" or "teams", sent as UTF-8.</summary>
        public void SetServerValue(string section, string key, string value)
        {
            Library.Check(Native.vlj_host_set_server_value(Live(), LanText.ToNative(section), LanText.ToNative(key),
                                                          LanText.ToNative(value)), "vlj_host_set_server_value");
        }

        /// <summary>A value of the player in slot (0 to 255), adding the player.</summary>
        public void SetPlayerValue(int slot, string key, string value)
        {
            Library.Check(Native.vlj_host_set_player_value(Live(), slot, LanText.ToNative(key), LanText.ToNative(value)),
                          "vlj_host_set_player_value");
        }

        public void RemovePlayer(int slot)
        {
            Library.Check(Native.vlj_host_remove_player(Live(), slot), "vlj_host_remove_player");
        }

        /// <summary>"maxplayers": 0 to 256, no fewer than the players present; 16 until set.</summary>
        public void SetPlayerLimit(int limit)
        {
            Library.Check(Native.vlj_host_set_player_limit(Live(), limit), "vlj_host_set_player_limit");
        }

        public int PlayerCount { get { return Native.vlj_host_player_count(Live()); } }

        /// <summary>
        /// Whether the game tells live browsers of itself (off until set): announcements to UDP port
        /// 22020 of every broadcast address after starting and after its values change, goodbyes when it stops.
        /// </summary>
        public bool Announcing
        {
            get { return Native.vlj_host_is_announcing(Live()) == 1; }
            set { Library.Check(Native.vlj_host_set_announcing(Live(), value ? 1 : 0), "vlj_host_set_announcing"); }
        }

        /// <summary>The limits in force; setting them refills every bucket (BadLimit: nothing changes).</summary>
        public HostLimits Limits
        {
            get
            {
                var n = new Native.Limits { size = (uint)Marshal.SizeOf(typeof(Native.Limits)) };
                Library.Check(Native.vlj_host_get_limits(Live(), ref n), "vlj_host_get_limits");
                return new HostLimits {
                    LanOnly = n.lan_only != 0, SenderRate = n.sender_rate, SenderBurst = n.sender_burst,
                    TotalRate = n.total_rate, TotalBurst = n.total_burst
                };
            }
            set
            {
                var n = new Native.Limits {
                    size = (uint)Marshal.SizeOf(typeof(Native.Limits)), lan_only = value.LanOnly ? 1 : 0,
                    sender_rate = value.SenderRate, sender_burst = value.SenderBurst,
                    total_rate = value.TotalRate, total_burst = value.TotalBurst
                };
                Library.Check(Native.vlj_host_set_limits(Live(), ref n), "vlj_host_set_limits");
            }
        }

        public HostCounters Counters
        {
            get
            {
                var n = new Native.Counters { size = (uint)Marshal.SizeOf(typeof(Native.Counters)) };
                Library.Check(Native.vlj_host_get_counters(Live(), ref n), "vlj_host_get_counters");
                return new HostCounters {
                    Answered = n.answered, NotQueries = n.not_queries, NotLocal = n.not_local, RateLimited = n.rate_limited
                };
            }
        }

        IntPtr Live()
        {
            if (handle == IntPtr.Zero) throw new ObjectDisposedException("VelnarLanJoin.Host");
            return handle;
        }
    }

    /// <summary>The C interface, declaration by declaration. Texts in are NUL-terminated UTF-8 byte arrays.</summary>
    internal static class Native
    {
        const string Lib = "VelnarLanJoin";
        const CallingConvention Cdecl = CallingConvention.Cdecl;

        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate void EventCallback(IntPtr ev, IntPtr user);
        [UnmanagedFunctionPointer(CallingConvention.Cdecl)]
        internal delegate void TraceCallback(IntPtr line, IntPtr user);

        [StructLayout(LayoutKind.Sequential)]
        internal struct BrowserConfig
        {
            public uint size;
            public int max_queries;
            public IntPtr key_map_path, name;
            public int servers_per_address, servers_total;  // read only from a config of this size
        }

        [StructLayout(LayoutKind.Sequential)]
        internal struct Event
        {
            public int kind, state, progress, is_new, problem;
            public uint server_id;
            public int port;
            [MarshalAs(UnmanagedType.ByValArray, SizeConst = 16)] public byte[] address;
            public IntPtr server;
        }

        [StructLayout(LayoutKind.Sequential)]
        internal struct Limits
        {
            public uint size;
            public int lan_only;
            public uint sender_rate, sender_burst, total_rate, total_burst;
        }

        // Two 32-bit fields first, so the 64-bit counters sit at offset 8
        // whatever alignment the platform gives them.
        [StructLayout(LayoutKind.Sequential)]
        internal struct Counters
        {
            public uint size, reserved;
            public ulong answered, not_queries, not_local, rate_limited;
        }

        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern IntPtr vlj_result_text(int result);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern uint vlj_version();
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern IntPtr vlj_version_text();

        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_create(ref BrowserConfig config, out IntPtr browser);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern void vlj_browser_destroy(IntPtr browser);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_update(IntPtr browser, int kind);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_step(IntPtr browser);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_is_updating(IntPtr browser);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_close(IntPtr browser);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_clear(IntPtr browser);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_sort(IntPtr browser, byte[] key, int ascending, int mode);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_update_problem(IntPtr browser);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_key_map_loaded(IntPtr browser);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_set_receive_buffer(IntPtr browser, int bytes);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_receive_buffer(IntPtr browser);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_set_event_callback(IntPtr browser, EventCallback callback, IntPtr user);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_poll_event(IntPtr browser, IntPtr ev);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_set_trace_callback(IntPtr browser, TraceCallback callback, IntPtr user);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_browser_server_count(IntPtr browser);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern IntPtr vlj_browser_server_at(IntPtr browser, int index);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern IntPtr vlj_browser_find_server(IntPtr browser, uint id);

        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern uint vlj_server_id(IntPtr server);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern IntPtr vlj_server_address(IntPtr server);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_server_port(IntPtr server);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_server_ping(IntPtr server);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_server_value_count(IntPtr server, byte[] section);
        [DllImport(Lib, CallingConvention = Cdecl)]
        internal static extern int vlj_server_value_at(IntPtr server, byte[] section, int index, out IntPtr key, out IntPtr value, out int player);

        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_create(byte[] name, out IntPtr host);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern void vlj_host_destroy(IntPtr host);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_start(IntPtr host, byte[] hostname, int port);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_stop(IntPtr host);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_is_hosting(IntPtr host);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_port(IntPtr host);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_step(IntPtr host);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_set_server_value(IntPtr host, byte[] section, byte[] key, byte[] value);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_set_player_value(IntPtr host, int player, byte[] key, byte[] value);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_remove_player(IntPtr host, int player);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_set_player_limit(IntPtr host, int limit);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_player_count(IntPtr host);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_set_announcing(IntPtr host, int on);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_is_announcing(IntPtr host);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_get_limits(IntPtr host, ref Limits limits);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_set_limits(IntPtr host, ref Limits limits);
        [DllImport(Lib, CallingConvention = Cdecl)] internal static extern int vlj_host_get_counters(IntPtr host, ref Counters counters);
    }
}
