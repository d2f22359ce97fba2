program formatindex;
{$IFNDEF VIDORRA}
uses SysUtils;
procedure showmessage(z: string); begin WriteLn(UTF8Encode(z)); end;
{$ENDIF}

// Format : arguments choisis par leur rang (%1:s), largeur et précision données par * ;
// les erreurs de spécificateur lèvent EConvertError.
var
  x: Double;
  n: Integer;

procedure tryFormat(const f: string; n: Integer);
begin
  try
    showmessage(Format(f, [n, 'deux', 3.5]));
  except
    on E: EConvertError do showmessage(E.ClassName);
  end;
end;

begin
  showmessage(Format('%1:s %0:s %s', ['a', 'b', 'c']));
  showmessage(Format('%s %0:s %s', ['a', 'b']));
  showmessage(Format('%0:s-%0:s-%0:s', ['x']));
  showmessage(Format('%2:d/%1:d/%0:d', [2024, 2, 29]));
  showmessage(Format('[%0:5s|%1:-5d|%1:.3d]', ['x', 7]));
  x := 2.25;
  showmessage(Format('[%1:5.1f|%0:d]', [0, x]));
  showmessage(Format('[%*d|%-*d|%.*s|%*.*f]', [5, 42, 4, 7, 2, 'abcdef', 8, 3, x]));
  showmessage(Format('[%0:*d]', [6, 42]));
  showmessage(Format('[%*:d]', [1, 42]));
  showmessage(Format('[%1:d %d %d]', [5, 42, 7, 8]));
  showmessage(Format('%d%% [%5%|%-3%]', [50]));
  n := 3;
  showmessage(Format('%d %s', [n, 'fois']) + Format(' %1:s=%0:d', [n, 'n']));
  tryFormat('%0:d %1:s %2:f', 1);
  tryFormat('%3:s', 1);
  tryFormat('%1:d', 1);
  tryFormat('%0:s', 1);
  tryFormat('%1:', 1);
  tryFormat('%2:s %s', 1);
end.
