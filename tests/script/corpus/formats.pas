program formats;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Format : %d %s %f %x, largeur, précision, alignement à gauche, %%.
var
  n: Integer;
  big: Int64;
  x: Double;
  s: string;
begin
  n := 42;
  showmessage(Format('[%d]', [n]));
  showmessage(Format('[%5d]', [n]));
  showmessage(Format('[%-5d]', [n]));
  showmessage(Format('[%.4d]', [n]));
  showmessage(Format('[%d]', [-n]));
  showmessage(Format('[%6d]', [-n]));
  showmessage(Format('[%1d]', [12345]));
  big := 123456789012;
  showmessage(Format('[%d]', [big]));
  s := 'chat';
  showmessage(Format('[%s]', [s]));
  showmessage(Format('[%8s]', [s]));
  showmessage(Format('[%-8s]', [s]));
  showmessage(Format('[%.2s]', [s]));
  showmessage(Format('[%s et %s]', ['pain', 'vin']));
  x := 3.14159;
  showmessage(Format('[%f]', [x]));
  showmessage(Format('[%.3f]', [x]));
  showmessage(Format('[%.0f]', [x]));
  showmessage(Format('[%10.4f]', [x]));
  showmessage(Format('[%-10.1f]', [x]));
  x := -0.5;
  showmessage(Format('[%.2f]', [x]));
  x := 1234567.891;
  showmessage(Format('[%.2f]', [x]));
  // 2.75, 0.125 et 2.5 sont exacts en binaire : Format arrondit la moitié
  // en s'éloignant de zéro (Round, lui, arrondit au pair).
  x := 2.75;
  showmessage(Format('[%.1f]', [x]));
  x := 0.125;
  showmessage(Format('[%.2f]', [x]));
  x := 2.5;
  showmessage(Format('[%.0f] [%.0f]', [x, -x]));
  showmessage(Format('[%x]', [255]));
  showmessage(Format('[%x]', [48879]));
  showmessage(Format('[%4x]', [10]));
  showmessage(Format('[%.4x]', [10]));
  showmessage(Format('[%x]', [-1]));
  showmessage(Format('%d%% fait', [75]));
  showmessage(Format('%s : %d images, %.1f Mo', ['capture', 250, 12.25]));
  showmessage(Format('sans argument', []));
  showmessage(Format('%d-%d-%d', [1, 22, 333]));
end.
