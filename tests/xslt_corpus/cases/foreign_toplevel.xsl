<xsl:stylesheet version="1.0" xmlns:xsl="http://www.w3.org/1999/XSL/Transform" xmlns:f="urn:foreign">
<f:data><xsl:template match="author"><foreign/></xsl:template></f:data>
<xsl:template match="/"><r><xsl:apply-templates select="//book[1]/author"/></r></xsl:template>
</xsl:stylesheet>
