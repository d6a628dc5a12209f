' A session with the Wirelet control as a script on Windows drives it: late
' bound through CreateObject, errors through Err, and the servers the test
' started on 127.0.0.1. Arguments: echo port, refused port, SOCKS5 port,
' SOCKS4 port, HTTP tunnel port. Prints every step and ends with "all checks
' passed" only when every one held (a script host may swallow a script error,
' so the runner looks for that line rather than at the exit code alone).
Option Explicit

Dim failures : failures = 0

' WScript.Echo rather than StdOut: Wine's script host has no StdOut.
Sub Show(text)
  WScript.Echo text
End Sub

Sub Check(what, actual, expected)
  If actual = expected Then
    Show "ok   " & what & " = " & Quote(actual)
  Else
    Show "FAIL " & what & " = " & Quote(actual) & ", expected " & Quote(expected)
    failures = failures + 1
  End If
End Sub

Function Quote(value)
  If VarType(value) = vbString Then
    Quote = """" & value & """"
  ElseIf IsEmpty(value) Then
    Quote = "(empty)"
  Else
    Quote = CStr(value)
  End If
End Function

' The error a statement raised, as "number (hex) description".
Function ErrorText()
  ErrorText = Err.Number & " (0x" & Hex(Err.Number) & ") " & Err.Description
End Function

Sub CheckError(what, number, description)
  Show "     " & what & " raised " & ErrorText() & " [source " & Err.Source & _
       ", help context " & Err.HelpContext & "]"
  Check what & ": Err.Number", Err.Number, number
  Check what & ": Err.Description", Err.Description, description
  Err.Clear
End Sub

' For errors the script host itself raises: their text is the host's own.
Sub CheckNumber(what, number)
  Show "     " & what & " raised " & ErrorText()
  Check what & ": Err.Number", Err.Number, number
  Err.Clear
End Sub

Dim echoPort, refusedPort, socks5Port, socks4Port, tunnelPort
echoPort = CLng(WScript.Arguments(0))
refusedPort = CLng(WScript.Arguments(1))
socks5Port = CLng(WScript.Arguments(2))
socks4Port = CLng(WScript.Arguments(3))
tunnelPort = CLng(WScript.Arguments(4))

Show "== CreateObject(""Wirekit.Wirelet"")"
Dim w : Set w = CreateObject("Wirekit.Wirelet")
Check "TypeName", TypeName(w), "IWirelet"

Show "== property defaults"
Check "AcceptData", w.AcceptData, True
Check "BytesSent", w.BytesSent, 0
Check "Connected", w.Connected, False
Check "EOL", w.EOL, ""
Check "FirewallHost", w.FirewallHost, ""
Check "FirewallPassword", w.FirewallPassword, ""
Check "FirewallPort", w.FirewallPort, 80
Check "FirewallType", w.FirewallType, 0
Check "FirewallUser", w.FirewallUser, ""
Check "KeepAlive", w.KeepAlive, False
Check "Linger", w.Linger, True
Show "     LocalHost = " & Quote(w.LocalHost) & " (the machine's name while unconnected)"
Check "LocalPort", w.LocalPort, 0
Check "RemoteHost", w.RemoteHost, ""
Check "RemotePort", w.RemotePort, 0
Check "SingleLineMode", w.SingleLineMode, False
Check "Timeout", w.Timeout, 0
Check "IsEmpty(EOLB)", IsEmpty(w.EOLB), True
Check "IsEmpty(DataInTextB)", IsEmpty(w.DataInTextB), True
Check "Config(""MaxLineLength"")", w.Config("MaxLineLength"), "2048"
Check "Config(""maxlinelength"")", w.Config("maxlinelength"), "2048"
Check "Config(""InBufferSize"")", w.Config("InBufferSize"), "2048"
Check "Config(""TcpNoDelay"")", w.Config("TcpNoDelay"), "False"
Check "Config(""WinsockLoaded"")", w.Config("WinsockLoaded"), "True"
Show "     Config(""WinsockPath"") = " & Quote(w.Config("WinsockPath"))
Show "     Config(""WinsockInfo"") = " & Quote(w.Config("WinsockInfo"))

Show "== errors"
' A control's error 0x800A0000 + n reaches the script as Err.Number n, as in Visual Basic.
Dim value
On Error Resume Next
value = w.DataToSend
CheckError "reading DataToSend", &H18A, "Property is write-only."
w.BytesSent = 5
CheckError "writing BytesSent", &H17F, "Property is read-only."
w.FirewallType = 4
CheckError "FirewallType = 4", &H17C, "Value is out of range."
value = w.Config("NoSuchSetting")
CheckError "Config(""NoSuchSetting"")", 20000, "Unknown config setting."
w.Send "early"
CheckError "Send while not connected", 10057 + 15001, "[10057] Socket is not connected"
w.Connect "127.0.0.1", 0
CheckError "Connect to port 0", 116 + 20001, _
           "[116] RemotePort can't be zero. Please specify a valid service port number."
value = w.GetLine
CheckError "GetLine while not connected", 301 + 20001, "Disconnected."
w.Timeout = 5
w.Connect "127.0.0.1", refusedPort
CheckError "Connect where nothing listens", 10061 + 15001, "[10061] Connection refused"

Show "== late binding mistakes"
' The control answers with dispatch codes, which the script host turns into its own errors.
value = w.NoSuchMember
CheckNumber "reading NoSuchMember", 438
w.Disconnect = 1
CheckNumber "assigning to the method Disconnect", 438
w.Connect "127.0.0.1"
CheckNumber "Connect with one argument", 450
w.Disconnect 1
CheckNumber "Disconnect with an argument", 450
value = w.Timeout(1)
CheckNumber "Timeout(1)", 450
w.Timeout = "abc"
CheckNumber "Timeout = ""abc""", 13
w.Timeout = 100000
CheckNumber "Timeout = 100000", 6
w.Connect "127.0.0.1", "five"
CheckNumber "Connect with Port ""five""", 13
Check "Timeout after the refused assignments", w.Timeout, 5
On Error GoTo 0
w.FirewallType = 2
Check "FirewallPort after FirewallType = 2", w.FirewallPort, 1080
w.FirewallType = 0
Check "FirewallPort after FirewallType = 0", w.FirewallPort, 80

Show "== connect, send, GetLine"
w.Timeout = 5
w.Connect "127.0.0.1", echoPort
Check "Connected", w.Connected, True
Check "RemoteHost", w.RemoteHost, "127.0.0.1"
Check "RemotePort", w.RemotePort, echoPort
Check "LocalHost", w.LocalHost, "127.0.0.1"
Check "LocalPort > 0", w.LocalPort > 0, True
w.SendLine "hello from VBScript"
Check "BytesSent", w.BytesSent, 21
Check "GetLine", w.GetLine, "hello from VBScript"
w.EOL = "|"
Check "EOL", w.EOL, "|"
w.SingleLineMode = True
w.SendLine "second line"
Check "GetLine", w.GetLine, "second line"
w.Disconnect
Check "Connected after Disconnect", w.Connected, False

Sub ThroughProxy(name, firewallType, proxyPort)
  Show "== through " & name & " on port " & proxyPort
  Dim p : Set p = CreateObject("Wirekit.Wirelet")
  p.FirewallType = firewallType
  p.FirewallHost = "127.0.0.1"
  p.FirewallPort = proxyPort
  p.Timeout = 5
  p.Connect "127.0.0.1", echoPort
  Check name & ": Connected", p.Connected, True
  Check name & ": RemoteHost", p.RemoteHost, "127.0.0.1"
  p.SendLine "through " & name
  Check name & ": GetLine", p.GetLine, "through " & name
  p.Disconnect
End Sub

ThroughProxy "SOCKS5 (microsocks)", 3, socks5Port
ThroughProxy "SOCKS4 (danted)", 2, socks4Port
ThroughProxy "HTTP tunnel (tinyproxy)", 1, tunnelPort

Show "== events through the script host"
Dim events : events = ""
Sub Evt_Connected(code, description)
  events = events & "Connected(" & code & ", " & description & ") "
End Sub
Sub Evt_DataIn(text, eol)
  events = events & "DataIn(" & text & ", " & eol & ") "
End Sub
Dim e : Set e = CreateObject("Wirekit.Wirelet")
On Error Resume Next
Err.Clear
WScript.ConnectObject e, "Evt_"
If Err.Number <> 0 Then
  Show "     WScript.ConnectObject is not offered by this script host: Err.Number " & Err.Number & _
       " (0x" & Hex(Err.Number) & ")"
  Err.Clear
  Dim viaHost : Set viaHost = WScript.CreateObject("Wirekit.Wirelet", "Evt_")
  If Err.Number <> 0 Then
    Show "     nor WScript.CreateObject with an event prefix: Err.Number " & Err.Number & _
         " (0x" & Hex(Err.Number) & ")"
  Else
    Show "     WScript.CreateObject with an event prefix created " & TypeName(viaHost)
  End If
  Err.Clear
Else
  On Error GoTo 0
  e.Connect "127.0.0.1", echoPort
  Dim i
  For i = 1 To 250
    e.DoEvents
    If InStr(events, "Connected(") > 0 Then Exit For
  Next
  e.Send "event" & vbCrLf
  For i = 1 To 250
    e.DoEvents
    If InStr(events, "DataIn(") > 0 Then Exit For
  Next
  Show "     events: " & events
  Check "Connected event", InStr(events, "Connected(0, OK)") > 0, True
  Check "DataIn event", InStr(events, "DataIn(event" & vbCrLf & ", True)") > 0, True
  e.Disconnect
End If
On Error GoTo 0

If failures > 0 Then
  Show failures & " check(s) failed"
  WScript.Quit 1
End If
Show "all checks passed"
